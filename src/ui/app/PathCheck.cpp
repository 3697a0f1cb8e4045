#include "app/PathCheck.h"

#include <QDir>

#include "app/Prompt.h"
#include "platform/PathEncoding.h"

namespace {

// The offending character, empty when the path fits.
QString Unfit(const QString& path) {
    const std::string character = CPathEncoding::FirstCharacterWithoutCp1251(path.toStdString());
    return QString::fromStdString(character);
}

#ifdef _WIN32
const QString kProgramFolderRemedy = QStringLiteral(
    "Установите программу в папку, путь к которой состоит из латинских и русских "
    "букв, цифр и знаков.");
#else
// The launcher puts the program folder under $XDG_DATA_HOME (~/.local/share by default).
const QString kProgramFolderRemedy = QStringLiteral(
    "Задайте папку, путь к которой состоит из латинских и русских букв, цифр и "
    "знаков, переменной XDG_DATA_HOME, например: XDG_DATA_HOME=/srv/sentrel "
    "sentrel");
#endif

}  // namespace

namespace PathCheck {

QString ChosenPathProblem(const QString& path) {
    const QString character = Unfit(path);
    if (character.isEmpty()) {
        return {};
    }
    return QStringLiteral(
               "Путь \"%1\" нельзя записать в кодировке Windows-1251: в нем есть "
               "символ \"%2\".\nSentrel хранит пути в этой кодировке и не сможет "
               "работать с этим файлом или папкой. Выберите файл или папку, путь к "
               "которым состоит из латинских и русских букв, цифр и знаков.")
        .arg(QDir::toNativeSeparators(path), character);
}

QString ProgramFolderProblem(const QString& folder) {
    const QString character = Unfit(folder);
    if (character.isEmpty()) {
        return {};
    }
    return QStringLiteral(
               "Папку программы \"%1\" нельзя записать в кодировке Windows-1251: в "
               "ее пути есть символ \"%2\".\nSentrel хранит в этой папке настройки "
               "и данные и не сможет их сохранить. %3")
        .arg(QDir::toNativeSeparators(folder), character, kProgramFolderRemedy);
}

bool AcceptChosenPath(QWidget* parent, const QString& path) {
    const QString problem = ChosenPathProblem(path);
    if (problem.isEmpty()) {
        return true;
    }
    Prompt::Message(parent, problem, QStringLiteral("Sentrel"), Prompt::Icon::Stop);
    return false;
}

}  // namespace PathCheck
