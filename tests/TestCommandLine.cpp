#include "CommandLine.h"
#include "TrimSpaces.h"

#include <QRandomGenerator>
#include <QTest>

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void splitsAsDocumented_data();
    void splitsAsDocumented();
    void randomTextsKeepTheSplittingLaws();
    void joinedArgumentsSplitBackToThemselves_data();
    void joinedArgumentsSplitBackToThemselves();
    void trimsOnlySpaces_data();
    void trimsOnlySpaces();
};

void TestCommandLine::splitsAsDocumented_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("tokens");

    QTest::newRow("quoted path") << R"("C:\My Files\a.txt")" << QStringList{R"(C:\My Files\a.txt)"};
    QTest::newRow("unquoted path") << R"(C:\My Files\a.txt)" << QStringList{R"(C:\My)", R"(Files\a.txt)"};
    QTest::newRow("quoted path and extra")
        << R"("C:\My Files\a.txt" extra)" << QStringList{R"(C:\My Files\a.txt)", "extra"};
    QTest::newRow("two spaces") << "a  b" << QStringList{"a", "", "b"};
    QTest::newRow("trailing space") << "a " << QStringList{"a", ""};
    QTest::newRow("leading space") << " a" << QStringList{"", "a"};
    QTest::newRow("empty text") << "" << QStringList{""};
    QTest::newRow("two quotes") << R"("")" << QStringList{""};
    QTest::newRow("quotes mid-token") << R"(a"b c"d e)" << QStringList{"ab cd", "e"};
    QTest::newRow("never closed") << R"("C:\x y.txt more)" << QStringList{R"(C:\x y.txt more)"};
    QTest::newRow("backslash is no escape") << R"(a\" b)" << QStringList{R"(a\ b)"};
    QTest::newRow("tab is ordinary") << "\ta\tb c" << QStringList{"\ta\tb", "c"};
    QTest::newRow("quote count never resets") << R"("a b" "c d" e)" << QStringList{"a b", "c d", "e"};
    QTest::newRow("only spaces") << "   " << QStringList{"", "", "", ""};
    QTest::newRow("unicode") << QStringLiteral("\"/tmp/\u00e9t\u00e9 \U0001F600.txt\" x")
                             << QStringList{QStringLiteral("/tmp/\u00e9t\u00e9 \U0001F600.txt"), "x"};
}

void TestCommandLine::splitsAsDocumented()
{
    QFETCH(QString, text);
    QFETCH(QStringList, tokens);
    const QString before = text;
    QCOMPARE(SplitCLArgs(text), tokens);
    QCOMPARE(text, before);
}

// Laws that hold for any text: tokens hold no quote, there is one token per unquoted space plus one, and the
// tokens put together are the text without its quotes and unquoted spaces. Texts beyond 32,767 characters too.
void TestCommandLine::randomTextsKeepTheSplittingLaws()
{
    QRandomGenerator generator(20261207);
    const QString alphabet = QStringLiteral("  \"\"\tab\\\u00e9");
    for (int round = 0; round < 2000; ++round) {
        const int length = round == 0 ? 40'000 : static_cast<int>(generator.bounded(40));
        QString text;
        for (int i = 0; i < length; ++i) {
            text.append(alphabet[static_cast<qsizetype>(generator.bounded(static_cast<int>(alphabet.size())))]);
        }
        int unquotedSpaces = 0;
        bool quoted = false;
        QString kept;
        for (const QChar c : text) {
            if (c == u'"') {
                quoted = !quoted;
            } else if (c == u' ' && !quoted) {
                ++unquotedSpaces;
            } else {
                kept.append(c);
            }
        }
        const QStringList tokens = SplitCLArgs(text);
        QCOMPARE(tokens.size(), unquotedSpaces + 1);
        QCOMPARE(tokens.join(QString()), kept);
        for (const QString& token : tokens) {
            QVERIFY(!token.contains(u'"'));
        }
    }
}

void TestCommandLine::joinedArgumentsSplitBackToThemselves_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("plain") << QStringList{"/tmp/a.txt"};
    QTest::newRow("space in path") << QStringList{"/tmp/my files/a b.txt", "second"};
    QTest::newRow("tabs") << QStringList{"\t/tmp/a.txt"};
    QTest::newRow("several") << QStringList{"a", "b c", "d"};
}

void TestCommandLine::joinedArgumentsSplitBackToThemselves()
{
    QFETCH(QStringList, arguments);
    QCOMPARE(SplitCLArgs(JoinCLArgs(arguments)), arguments);
}

void TestCommandLine::trimsOnlySpaces_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("trimmed");
    QTest::newRow("spaces both ends") << "  /a b  "
                                      << "/a b";
    QTest::newRow("tab stays") << "\t/a "
                               << "\t/a";
    QTest::newRow("newline stays") << " /a\n"
                                   << "/a\n";
    QTest::newRow("all spaces") << "    "
                                << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestCommandLine::trimsOnlySpaces()
{
    QFETCH(QString, text);
    QFETCH(QString, trimmed);
    QCOMPARE(TrimSpaces(text), trimmed);
}

QTEST_APPLESS_MAIN(TestCommandLine)
#include "TestCommandLine.moc"
