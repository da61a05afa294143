#include "StartUp.h"

#include <QTest>

class TestStartUp : public QObject
{
    Q_OBJECT

private slots:
    void argumentsArriveAsTheSystemSplitThem_data();
    void argumentsArriveAsTheSystemSplitThem();
};

void TestStartUp::argumentsArriveAsTheSystemSplitThem_data()
{
    QTest::addColumn<QByteArrayList>("argv");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("none") << QByteArrayList{"keswin-hash"} << QStringList{};
    QTest::newRow("no program name either") << QByteArrayList{} << QStringList{};
    QTest::newRow("quotes in a name") << QByteArrayList{"keswin-hash", R"(/tmp/say "hi".txt)"}
                                      << QStringList{R"(/tmp/say "hi".txt)"};
    QTest::newRow("unmatched quote does not swallow the rest")
        << QByteArrayList{"keswin-hash", R"(a"b)", "c d"} << QStringList{R"(a"b)", "c d"};
    QTest::newRow("spaces at either end kept") << QByteArrayList{"keswin-hash", " a.txt "} << QStringList{" a.txt "};
    QTest::newRow("empty first argument") << QByteArrayList{"keswin-hash", "", "x"} << QStringList{"", "x"};
    QTest::newRow("options of Qt are plain arguments")
        << QByteArrayList{"keswin-hash", "-reverse", "-platform", "foo"} << QStringList{"-reverse", "-platform", "foo"};
    QTest::newRow("utf-8") << QByteArrayList{"keswin-hash", "/tmp/\xc3\xa9t\xc3\xa9.txt"}
                           << QStringList{QStringLiteral("/tmp/\u00e9t\u00e9.txt")};
    // Kept so that it names the same file again, not the UTF-8 "caf\uFFFD.txt".
    QTest::newRow("not utf-8") << QByteArrayList{"keswin-hash", "caf\xe9.txt"}
                               << QStringList{QStringLiteral("caf\xdce9.txt")};
}

void TestStartUp::argumentsArriveAsTheSystemSplitThem()
{
    QFETCH(QByteArrayList, argv);
    QFETCH(QStringList, arguments);
    std::vector<const char*> vector;
    for (const QByteArray& argument : argv) {
        vector.push_back(argument.constData());
    }
    vector.push_back(nullptr);
    QCOMPARE(programArguments(static_cast<int>(argv.size()), vector.data()), arguments);
}

QTEST_APPLESS_MAIN(TestStartUp)
#include "TestStartUp.moc"
