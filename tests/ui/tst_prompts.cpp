#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "alerts/PasswordDialog.h"
#include "app/Prompt.h"
#include "app/QtTranslations.h"
#include "base/Cp1251.h"

namespace {

// Answers the password prompt once it is on screen; `typed` empty = Cancel.
void AnswerPasswordPrompt(const QString& typed, bool* modalSeen, const bool* modalOpen) {
    QTimer::singleShot(0, [typed, modalSeen, modalOpen] {
        auto* dialog = qobject_cast<CPasswordDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog != nullptr);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Введите пароль..."));
        auto* edit = dialog->findChild<QLineEdit*>("passwordEdit");
        QVERIFY(edit != nullptr);
        QCOMPARE(edit->echoMode(), QLineEdit::Password);
        *modalSeen = *modalOpen;
        if (typed.isEmpty()) {
            dialog->reject();
        } else {
            edit->insert(typed);  // keyClicks knows only ASCII
            dialog->accept();
        }
    });
}

}  // namespace

class TestPrompts : public QObject {
    Q_OBJECT
private slots:
    void init() { Prompt::SetScripted(true); }
    void cleanup() { Prompt::SetScripted(false); }

    void filtersBecomeQtFilters();
    void scriptedAnswersAndRecord();
    void noPasswordNeedsNoPrompt();
    void rightPasswordPasses();
    void wrongPasswordIsReported();
    void cancelIsSilent();
    void fileDialogSpeaksRussian();
};

void TestPrompts::filtersBecomeQtFilters() {
    QCOMPARE(Prompt::ToQtFilter(QStringLiteral(
                 "Файл с адресной книгой (AddrBook.txt)|AddrBook.txt|All Files (*.*)|*.*||")),
             QStringLiteral("Файл с адресной книгой (AddrBook.txt);;All Files (*)"));
    QCOMPARE(Prompt::ToQtFilter(QStringLiteral(
                 "Файл с описанием контрольных районов (maps.mrk)|maps.mrk|All Files (*.*)|*.*||")),
             QStringLiteral("Файл с описанием контрольных районов (maps.mrk);;All Files (*)"));
    // Several patterns, and a label that does not name them.
    QCOMPARE(Prompt::ToQtFilter(QStringLiteral("Звуки|*.wav;*.WAV||")),
             QStringLiteral("Звуки (*.wav *.WAV)"));
    // Text after the closing "||" is not a filter.
    QCOMPARE(Prompt::ToQtFilter(QStringLiteral("A (*.a)|*.a||B|*.b")), QStringLiteral("A (*.a)"));
    QCOMPARE(Prompt::ToQtFilter(QString()), QString());
}

void TestPrompts::scriptedAnswersAndRecord() {
    Prompt::SetNextAnswers({Prompt::Answer::Pressed(Prompt::kNo),
                            Prompt::Answer::Path(QStringLiteral("/data/AddrBook.txt"))});
    QCOMPARE(Prompt::Message(nullptr, QStringLiteral("Вы уверены?"), QStringLiteral("Sentrel"),
                             Prompt::Icon::Question, Prompt::Buttons::YesNo),
             int(Prompt::kNo));
    QCOMPARE(Prompt::OpenFile(nullptr,
                              QStringLiteral("Файл с адресной книгой (AddrBook.txt)|AddrBook.txt|"
                                             "All Files (*.*)|*.*||"),
                              QStringLiteral("AddrBook.txt"), QStringLiteral("/opt")),
             QStringLiteral("/data/AddrBook.txt"));
    // Nothing preset: the harmless answer.
    QCOMPARE(Prompt::Message(nullptr, QStringLiteral("x"), QString(), Prompt::Icon::None,
                             Prompt::Buttons::YesNo),
             int(Prompt::kNo));
    QCOMPARE(Prompt::Message(nullptr, QStringLiteral("y"), QString()), int(Prompt::kOk));
    QCOMPARE(Prompt::ChooseFolder(nullptr, QStringLiteral("Папка"), QStringLiteral("/tmp")),
             QString());

    const auto& shown = Prompt::ShownPrompts();
    QCOMPARE(shown.size(), size_t(5));
    QCOMPARE(shown[0].text, QStringLiteral("Вы уверены?"));
    QCOMPARE(shown[0].icon, Prompt::Icon::Question);
    QCOMPARE(shown[1].kind, Prompt::Shown::Kind::OpenFile);
    QCOMPARE(shown[1].filter,
             QStringLiteral("Файл с адресной книгой (AddrBook.txt);;All Files (*)"));
    QCOMPARE(shown[1].defaultName, QStringLiteral("AddrBook.txt"));
    QCOMPARE(shown[4].kind, Prompt::Shown::Kind::ChooseFolder);
}

void TestPrompts::noPasswordNeedsNoPrompt() {
    bool modalOpen = false;
    QVERIFY(CheckPassword(nullptr, std::string(), modalOpen));
    QVERIFY(!modalOpen);
    QVERIFY(Prompt::ShownPrompts().empty());
}

void TestPrompts::rightPasswordPasses() {
    bool modalOpen = false;
    bool modalSeen = false;
    AnswerPasswordPrompt(QStringLiteral("Пароль1"), &modalSeen, &modalOpen);
    QVERIFY(CheckPassword(nullptr, W("Пароль1"), modalOpen));
    QVERIFY(modalSeen);
    QVERIFY(!modalOpen);
    QVERIFY(Prompt::ShownPrompts().empty());
}

void TestPrompts::wrongPasswordIsReported() {
    bool modalOpen = false;
    bool modalSeen = false;
    // Case counts.
    AnswerPasswordPrompt(QStringLiteral("пароль1"), &modalSeen, &modalOpen);
    QVERIFY(!CheckPassword(nullptr, W("Пароль1"), modalOpen));
    QVERIFY(modalSeen);
    QVERIFY(!modalOpen);
    QCOMPARE(Prompt::ShownTexts(), QStringList{QStringLiteral("Неверный пароль!")});
}

void TestPrompts::cancelIsSilent() {
    bool modalOpen = false;
    bool modalSeen = false;
    AnswerPasswordPrompt(QString(), &modalSeen, &modalOpen);
    QVERIFY(!CheckPassword(nullptr, std::string("abc"), modalOpen));
    QVERIFY(modalSeen);
    QVERIFY(!modalOpen);
    QVERIFY(Prompt::ShownPrompts().empty());
}

void TestPrompts::fileDialogSpeaksRussian() {
    // What the program does at start: Qt's own texts come from Qt's Russian translation.
    QVERIFY(QtTranslations::InstallRussian(*QCoreApplication::instance()));
    QVERIFY(QtTranslations::InstallRussian(*QCoreApplication::instance()));  // once only
    Prompt::SetScripted(false);
    QTemporaryDir folder;
    QString cancelText;
    QString openText;
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog != nullptr);
        seen = true;
        auto* buttons = dialog->findChild<QDialogButtonBox*>();
        QVERIFY(buttons != nullptr);
        if (QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel)) {
            cancelText = cancel->text();
        }
        if (QPushButton* open = buttons->button(QDialogButtonBox::Open)) {
            openText = open->text();
        }
        dialog->reject();
    });
    const QString chosen = Prompt::OpenFile(
        nullptr, QStringLiteral("Файл с адресной книгой (AddrBook.txt)|AddrBook.txt||"),
        QStringLiteral("AddrBook.txt"), folder.path());
    QVERIFY(seen);
    QVERIFY(chosen.isEmpty());
    QCOMPARE(cancelText, QStringLiteral("Отмена"));
    QVERIFY2(!openText.contains(QStringLiteral("Open")), qPrintable(openText));
}

QTEST_MAIN(TestPrompts)
#include "tst_prompts.moc"
