#pragma once

#include <QString>

class QWidget;

// Refuses paths that Sentrel cannot keep: the program folder at start, and every file or
// folder the dispatcher chooses in a dialog (CPathEncoding tells why).
namespace PathCheck {

// The message for a chosen file or folder whose path has a character without a
// Windows-1251 form; empty when the path can be kept.
QString ChosenPathProblem(const QString& path);
// The same for the program folder, where the settings and data files are written.
QString ProgramFolderProblem(const QString& folder);
// Shows ChosenPathProblem(path) as a stop message when there is one; true when the path
// can be kept.
bool AcceptChosenPath(QWidget* parent, const QString& path);

}  // namespace PathCheck
