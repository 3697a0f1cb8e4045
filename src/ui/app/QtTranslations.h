#pragma once

class QCoreApplication;

// Qt's own texts (file dialog labels and buttons, standard buttons, context menus of
// edit fields) in Russian, like the rest of the program.
namespace QtTranslations {

// Loads Qt's Russian translation from Qt's translations folder into `app`, once; the
// translator lives as long as the application. False when it is not installed there
// (the texts stay English).
bool InstallRussian(QCoreApplication& app);

}  // namespace QtTranslations
