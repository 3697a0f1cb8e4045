#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool QtTranslations::InstallRussian(QCoreApplication& app) {
    static const char* const kName = "sentrelQtRussian";
    if (app.findChild<QTranslator*>(QString::fromLatin1(kName), Qt::FindDirectChildrenOnly)) {
        return true;
    }
    auto* translator = new QTranslator(&app);
    translator->setObjectName(QString::fromLatin1(kName));
    if (!translator->load(QStringLiteral("qtbase_ru"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}
