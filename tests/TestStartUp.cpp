#include "AnalysisSession.h"
#include "DigestRun.h"
#include "HangingFacts.h"
#include "HoldableDigests.h"
#include "RecordingView.h"
#include "StartUp.h"
#include "TempFiles.h"

#include <QDeadlineTimer>
#include <QTest>
#include <QTimer>

class TestStartUp : public QObject
{
    Q_OBJECT

private slots:
    void argumentsArriveAsTheSystemSplitThem_data();
    void argumentsArriveAsTheSystemSplitThem();
    void startUpGoesOnWhileFactsHang_data();
    void startUpGoesOnWhileFactsHang();

private:
    TempFiles m_files;
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

void TestStartUp::startUpGoesOnWhileFactsHang_data()
{
    QTest::addColumn<bool>("stopped"); // as a termination request does; otherwise the grace runs out
    QTest::newRow("grace runs out") << false;
    QTest::newRow("stopped while waiting") << true;
}

// A command-line file on a mount that stopped answering: start-up must return so that the window shows, and a
// termination request must end the wait at once, long before the grace would.
void TestStartUp::startUpGoesOnWhileFactsHang()
{
    QFETCH(bool, stopped);
    const QString file = m_files.write(QStringLiteral("on a stalled share.hang"), "x");
    HangingFacts facts;
    RecordingView view;
    AnalysisSession session(std::make_shared<HoldableDigests>(), view, QLocale::c(), {}, facts.reader());
    if (stopped) {
        QTimer::singleShot(10, &session, &AnalysisSession::stop);
    }
    const std::chrono::milliseconds grace = stopped ? std::chrono::minutes(30) : std::chrono::milliseconds(50);
    const QDeadlineTimer graceEnd(grace);
    Form_Load(session, {file}, {}, grace);
    QVERIFY(!stopped || !graceEnd.hasExpired());
    QCOMPARE(session.isReadingFacts(), !stopped);
    QTRY_COMPARE(facts.gate->arrivals(), 1);

    // Facts that come after the window has shown still fill the rows, unless the analysis was abandoned.
    facts.gate->open();
    if (!stopped) {
        QTRY_COMPARE(view.row(ResultRow::FileName), facts.stale.facts->name);
    }
    QTRY_COMPARE(DigestRun::liveWorkers(), stopped ? 0 : 1); // the late facts' digests wait for a release
    QCOMPARE(view.row(ResultRow::FileName), stopped ? QString() : facts.stale.facts->name);
    QVERIFY(view.messages().isEmpty());
    session.stop();
    QTRY_COMPARE(DigestRun::liveWorkers(), 0);
}

QTEST_GUILESS_MAIN(TestStartUp)
#include "TestStartUp.moc"
