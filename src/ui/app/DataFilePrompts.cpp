#include "app/DataFilePrompts.h"

const DataFilePrompts& DataFilePrompts::For(bool zones) {
    static const DataFilePrompts addressBook{
        QStringLiteral("Не удается найти файл с адресной книгой!\nУкажите путь к файлу "
                       "AddrBook.txt"),
        QStringLiteral("Файл с адресной книгой (AddrBook.txt)|AddrBook.txt|All Files "
                       "(*.*)|*.*||"),
        QStringLiteral("AddrBook.txt"),
        QStringLiteral("Необходимо выбрать файл с адресной книгой!"),
        QStringLiteral("Выбранный файл не является адресной книгой!"),
    };
    static const DataFilePrompts zoneFile{
        QStringLiteral("Не удается найти файл с описанием контрольных районов!\nУкажите путь "
                       "к файлу maps.mrk"),
        QStringLiteral("Файл с описанием контрольных районов (maps.mrk)|maps.mrk|All Files "
                       "(*.*)|*.*||"),
        QStringLiteral("maps.mrk"),
        QStringLiteral("Необходимо выбрать файл с описанием контрольных районов!"),
        QStringLiteral("Выбранный файл не является файлом с описанием контрольных районов!"),
    };
    return zones ? zoneFile : addressBook;
}
