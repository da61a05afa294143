#include "AnalysisSession.h"
#include "Clock.h"
#include "HoldableDigests.h"
#include "LauncherProgress.h"
#include "RecordingView.h"
#include "TaskbarProgress.h"
#include "TaskbarProgressPolicy.h"
#include "TempFiles.h"

#include <QTest>

namespace {

class FakeClock final : public Clock
{
public:
    QDateTime now() const override { return m_start.addMSecs(m_elapsedMs); }
    void setElapsed(qint64 ms) { m_elapsedMs = ms; }

private:
    const QDateTime m_start = QDateTime(QDate(2026, 3, 29), QTime(1, 59, 59));
    qint64 m_elapsedMs = 0;
};

class RecordingLauncher final : public LauncherProgress
{
public:
    void show(double fraction) override { calls.append(QStringLiteral("show %1").arg(fraction)); }
    void hide() override { calls.append(QStringLiteral("hide")); }
    QStringList calls;
};

// At atMs: 'b' begins a read of value bytes, 'a' advances it to value bytes, 'e' ends it.
struct Step
{
    qint64 atMs;
    char action;
    quint64 value = 0;
};

} // namespace

Q_DECLARE_METATYPE(QList<Step>)

class TestTaskbarProgress : public QObject
{
    Q_OBJECT

private slots:
    void policyShowsOnlySlowReadsAndHidesThem_data();
    void policyShowsOnlySlowReadsAndHidesThem();
    void everyEndOfASessionReadHidesTheBar_data();
    void everyEndOfASessionReadHidesTheBar();

private:
    TempFiles m_files;
};

void TestTaskbarProgress::policyShowsOnlySlowReadsAndHidesThem_data()
{
    QTest::addColumn<QList<Step>>("steps");
    // What the launcher is told, the policy's destruction (the window closing) included.
    QTest::addColumn<QStringList>("calls");
    QTest::newRow("read shorter than the delay")
        << QList<Step>{{0, 'b', 100}, {500, 'a', 50}, {999, 'a', 90}} << QStringList{};
    QTest::newRow("slow read, ended")
        << QList<Step>{{0, 'b', 100}, {500, 'a', 10}, {1000, 'a', 25}, {1250, 'a', 50}, {1400, 'e'}}
        << QStringList{"show 0.25", "show 0.5", "hide"};
    QTest::newRow("four updates a second at most")
        << QList<Step>{{0, 'b', 100},   {1000, 'a', 20}, {1050, 'a', 21}, {1100, 'a', 22},
                       {1249, 'a', 23}, {1250, 'a', 24}, {1300, 'a', 30}}
        << QStringList{"show 0.2", "show 0.24", "hide"};
    QTest::newRow("stalled read repeats nothing")
        << QList<Step>{{0, 'b', 100}, {1000, 'a', 40}, {1500, 'a', 40}, {9000, 'a', 40}}
        << QStringList{"show 0.4", "hide"};
    QTest::newRow("size unknown") << QList<Step>{{0, 'b', 0}, {2000, 'a', 50}, {5000, 'a', 500}} << QStringList{};
    QTest::newRow("all read as the delay passes")
        << QList<Step>{{0, 'b', 100}, {1500, 'a', 100}, {1600, 'e'}} << QStringList{};
    QTest::newRow("file grew while read")
        << QList<Step>{{0, 'b', 100}, {1000, 'a', 50}, {1300, 'a', 150}} << QStringList{"show 0.5", "show 1", "hide"};
    QTest::newRow("superseded: the new read waits its own delay")
        << QList<Step>{{0, 'b', 100}, {1000, 'a', 50}, {1100, 'b', 200}, {1600, 'a', 100}, {2100, 'a', 100}}
        << QStringList{"show 0.5", "hide", "show 0.5", "hide"};
    QTest::newRow("ended twice, then advanced")
        << QList<Step>{{0, 'b', 100}, {1000, 'a', 50}, {1100, 'e'}, {1200, 'e'}, {2500, 'a', 60}}
        << QStringList{"show 0.5", "hide"};
    QTest::newRow("advanced without a read") << QList<Step>{{5000, 'a', 50}} << QStringList{};
}

void TestTaskbarProgress::policyShowsOnlySlowReadsAndHidesThem()
{
    QFETCH(QList<Step>, steps);
    QFETCH(QStringList, calls);
    RecordingLauncher launcher;
    FakeClock clock;
    {
        TaskbarProgressPolicy policy(launcher, clock);
        for (const Step& step : steps) {
            clock.setElapsed(step.atMs);
            if (step.action == 'b') {
                policy.begin(step.value);
            } else if (step.action == 'a') {
                policy.advance(step.value);
            } else {
                policy.end();
            }
        }
    }
    QCOMPARE(launcher.calls, calls);
}

void TestTaskbarProgress::everyEndOfASessionReadHidesTheBar_data()
{
    QTest::addColumn<QString>("end");
    for (const char* end : {"finished", "failed", "superseded", "stopped"}) {
        QTest::newRow(end) << QString::fromLatin1(end);
    }
}

void TestTaskbarProgress::everyEndOfASessionReadHidesTheBar()
{
    QFETCH(QString, end);
    auto digests = std::make_shared<HoldableDigests>();
    RecordingView view;
    AnalysisSession session(digests, view);
    RecordingLauncher launcher;
    FakeClock clock;
    TaskbarProgress progress(session, launcher, clock);

    session.TakeInputPath(m_files.write(QStringLiteral("held"), "eight by"));
    QTRY_VERIFY(!session.isReadingFacts());
    clock.setElapsed(TaskbarProgressPolicy::kShowAfterMs);
    // The held service reads nothing: the bar shows the read stuck at its start.
    QTRY_COMPARE(launcher.calls, QStringList{"show 0"});
    if (end == QStringLiteral("finished")) {
        digests->release(4);
    } else if (end == QStringLiteral("failed")) {
        digests->failAt(DigestKind::Crc32, QStringLiteral("Input/output error"));
        digests->release();
    } else if (end == QStringLiteral("superseded")) {
        session.TakeInputPath(m_files.write(QStringLiteral("next"), "x"));
    } else {
        session.stop();
    }
    QTRY_COMPARE(launcher.calls, (QStringList{"show 0", "hide"}));
}

QTEST_GUILESS_MAIN(TestTaskbarProgress)
#include "TestTaskbarProgress.moc"
