#include <QtTest>

#include "app/PathCheck.h"
#include "app/Prompt.h"

// A file or folder whose path Windows-1251 cannot write is refused when it is chosen, with
// a message that names it, and the dialog comes back; the program folder is checked at start.
class TestPathCheck : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Prompt::SetScripted(true);
        Prompt::ClearShown();
    }
    void cleanup() { Prompt::SetScripted(false); }

    void chosenFileOutsideTheCodePageIsRefusedAndAskedAgain();
    void chosenFolderOutsideTheCodePageIsRefusedThenCancelled();
    void programFolderMessageNamesThePath();
};

void TestPathCheck::chosenFileOutsideTheCodePageIsRefusedAndAskedAgain() {
    Prompt::SetNextAnswers({Prompt::Answer::Path(QStringLiteral("/home/jürgen/AddrBook.txt")),
                            Prompt::Answer::Pressed(Prompt::kOk),
                            Prompt::Answer::Path(QStringLiteral("/home/иван/AddrBook.txt"))});
    const QString chosen =
        Prompt::OpenFile(nullptr, QStringLiteral("Книга (AddrBook.txt)|AddrBook.txt||"),
                         QStringLiteral("AddrBook.txt"), QString());
    QCOMPARE(chosen, QStringLiteral("/home/иван/AddrBook.txt"));

    const auto& shown = Prompt::ShownPrompts();
    QCOMPARE(shown.size(), std::size_t(3));
    QCOMPARE(shown[0].kind, Prompt::Shown::Kind::OpenFile);
    QCOMPARE(shown[1].kind, Prompt::Shown::Kind::Message);
    QCOMPARE(shown[1].icon, Prompt::Icon::Stop);
    QCOMPARE(shown[1].caption, QStringLiteral("Sentrel"));
    QVERIFY2(shown[1].text.startsWith(QStringLiteral(
                 "Путь \"/home/jürgen/AddrBook.txt\" нельзя записать в кодировке Windows-1251: "
                 "в нем есть символ \"ü\".")),
             qPrintable(shown[1].text));
    QVERIFY(!shown[1].text.contains(QStringLiteral("диск")));
    QCOMPARE(shown[2].kind, Prompt::Shown::Kind::OpenFile);
    // The same dialog again, as the caller asked for it.
    QCOMPARE(shown[2].defaultName, QStringLiteral("AddrBook.txt"));
}

void TestPathCheck::chosenFolderOutsideTheCodePageIsRefusedThenCancelled() {
    Prompt::SetNextAnswers({Prompt::Answer::Path(QStringLiteral("/srv/Zoë/Inbox")),
                            Prompt::Answer::Pressed(Prompt::kOk), Prompt::Answer::Cancelled()});
    QVERIFY(Prompt::ChooseFolder(nullptr, QStringLiteral("Выберите папку с отчетами..."),
                                 QStringLiteral("/srv"))
                .isEmpty());
    const QStringList texts = Prompt::ShownTexts();
    QCOMPARE(texts.size(), 3);
    QVERIFY(texts[1].contains(QStringLiteral("\"/srv/Zoë/Inbox\"")));
    QVERIFY(texts[1].contains(QStringLiteral("символ \"ë\"")));
    QCOMPARE(texts[2], QStringLiteral("Выберите папку с отчетами..."));

    // A path that fits is taken at once, Cyrillic and signs included.
    Prompt::ClearShown();
    Prompt::SetNextAnswers({Prompt::Answer::Path(QStringLiteral("/srv/Отчеты № 1"))});
    QCOMPARE(Prompt::ChooseFolder(nullptr, QStringLiteral("t"), QString()),
             QStringLiteral("/srv/Отчеты № 1"));
    QCOMPARE(Prompt::ShownPrompts().size(), std::size_t(1));
}

void TestPathCheck::programFolderMessageNamesThePath() {
    QVERIFY(PathCheck::ProgramFolderProblem(QStringLiteral("/home/иван/.local/share/sentrel"))
                .isEmpty());
    const QString problem =
        PathCheck::ProgramFolderProblem(QStringLiteral("/home/jürgen/.local/share/sentrel"));
    QVERIFY(problem.startsWith(QStringLiteral(
        "Папку программы \"/home/jürgen/.local/share/sentrel\" нельзя записать в кодировке "
        "Windows-1251: в ее пути есть символ \"ü\".")));
#ifndef _WIN32
    QVERIFY(problem.contains(QStringLiteral("XDG_DATA_HOME")));
#endif
    QVERIFY(PathCheck::ChosenPathProblem(QStringLiteral("C:/QMX5/Inbox/")).isEmpty());
}

QTEST_MAIN(TestPathCheck)
#include "tst_pathcheck.moc"
