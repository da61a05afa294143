#include "TerminationRequests.h"

#include <csignal>
#include <QSignalSpy>
#include <QTest>

class TestTerminationRequests : public QObject
{
    Q_OBJECT

private slots:
    void signalsArriveOnTheEventLoopOnce_data();
    void signalsArriveOnTheEventLoopOnce();
    void defaultsAreBackWhenGone();
};

static bool hasDefaultAction(int signalNumber)
{
    struct sigaction current
    {
    };
    ::sigaction(signalNumber, nullptr, &current);
    return current.sa_handler == SIG_DFL;
}

void TestTerminationRequests::signalsArriveOnTheEventLoopOnce_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void TestTerminationRequests::signalsArriveOnTheEventLoopOnce()
{
    QFETCH(int, signalNumber);
    TerminationRequests requests;
    QSignalSpy spy(&requests, &TerminationRequests::requested);
    QVERIFY(!hasDefaultAction(signalNumber));
    QVERIFY(!requests.wasRequested());

    ::raise(signalNumber);
    QVERIFY(spy.isEmpty()); // Nothing is done inside the handler itself.
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(spy.first().first().toInt(), signalNumber);
    QVERIFY(requests.wasRequested());
    // A second signal of the kind ends the process: a program that failed to close is not left unkillable.
    QVERIFY(hasDefaultAction(signalNumber));
}

void TestTerminationRequests::defaultsAreBackWhenGone()
{
    {
        TerminationRequests requests;
    }
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP})
        QVERIFY(hasDefaultAction(signalNumber));
}

QTEST_GUILESS_MAIN(TestTerminationRequests)
#include "TestTerminationRequests.moc"
