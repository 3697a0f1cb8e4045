#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

class QWidget;

// Every message box and file or folder dialog of the program goes through here, so that
// a test can answer them in advance instead of facing a modal loop.
class Prompt {
public:
    enum class Icon { None, Information, Warning, Question, Stop };
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
    enum Button : int { kOk = 1, kCancel = 2, kYes = 6, kNo = 7 };

    // What was asked, kept while scripted so that tests can check the texts shown.
    struct Shown {
        enum class Kind { Message, OpenFile, SaveFile, ChooseFolder } kind = Kind::Message;
        QString text;     // message text, or the dialog's title
        QString caption;  // message caption
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
        QString filter;  // open-file filter, already in Qt's form
        QString defaultName;
        QString startPath;
    };

    // A preset answer: a button for a message box, a path for a file or folder dialog
    // (empty = cancelled).
    struct Answer {
        int button = kOk;
        QString path;
        static Answer Pressed(int button) { return Answer{button, {}}; }
        static Answer Path(const QString& path) { return Answer{kOk, path}; }
        static Answer Cancelled() { return Answer{kCancel, {}}; }
    };

    static int Message(QWidget* parent, const QString& text, const QString& caption,
                       Icon icon = Icon::None, Buttons buttons = Buttons::Ok);
    // `filterText` is in the "Description|pattern|...||" form; returns the chosen existing
    // file, empty when cancelled.
    static QString OpenFile(QWidget* parent, const QString& filterText, const QString& defaultName,
                            const QString& startPath);
    // The same for a file to write: the chosen path (it need not exist; the dialog asks
    // before one is replaced), empty when cancelled.
    static QString SaveFile(QWidget* parent, const QString& filterText, const QString& defaultName,
                            const QString& startPath);
    // Returns the chosen folder, empty when cancelled.
    static QString ChooseFolder(QWidget* parent, const QString& title, const QString& start);

    // "Files (a.txt)|a.txt|All Files (*.*)|*.*||" -> "Files (a.txt);;All Files (*)".
    // Patterns separated by ';' become Qt's blank-separated lists, and "*.*" becomes "*"
    // because on Windows it means every file, extension or not.
    static QString ToQtFilter(const QString& filterText);

    // Scripted mode: nothing is shown; each prompt takes the next preset answer (when
    // none is left: OK, No or Cancel for a message, cancelled for a dialog) and is
    // recorded.
    static void SetScripted(bool scripted);
    static bool IsScripted();
    static void SetNextAnswers(std::vector<Answer> answers);
    static void AddNextAnswer(const Answer& answer);
    static const std::vector<Shown>& ShownPrompts();
    static QStringList ShownTexts();
    static void ClearShown();

private:
    static bool TakeAnswer(Answer& answer);
    // The dialogs themselves; the public calls above ask again while the chosen path
    // cannot be kept (PathCheck).
    static QString AskOpenFile(QWidget* parent, const QString& filterText,
                               const QString& defaultName, const QString& startPath,
                               bool save = false);
    static QString AskFolder(QWidget* parent, const QString& title, const QString& start);
};
