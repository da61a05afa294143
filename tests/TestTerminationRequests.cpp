#include "TerminationRequests.h"

#include <array>
#include <csignal>
#include <QSignalSpy>
#include <QTest>

class TestTerminationRequests : public QObject
{
    Q_OBJECT

private slots:
    void signalsArriveOnTheEventLoopOnce_data();
    void signalsArriveOnTheEventLoopOnce();
    void earlierActionsAreBackWhenGone();
    void ignoredSignalsStayIgnored();
    void secondInstanceLeavesTheFirstInCharge();
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

// What was there before (here the test library's own handlers) comes back.
void TestTerminationRequests::earlierActionsAreBackWhenGone()
{
    std::array<void (*)(int), 3> before{};
    const std::array signalNumbers{SIGTERM, SIGINT, SIGHUP};
    for (std::size_t i = 0; i < signalNumbers.size(); ++i) {
        struct sigaction current
        {
        };
        ::sigaction(signalNumbers[i], nullptr, &current);
        before[i] = current.sa_handler;
    }
    {
        TerminationRequests requests;
    }
    for (std::size_t i = 0; i < signalNumbers.size(); ++i) {
        struct sigaction current
        {
        };
        ::sigaction(signalNumbers[i], nullptr, &current);
        QVERIFY(current.sa_handler == before[i]);
    }
}

// As under nohup, or in a script's background job: the starter's choice holds, while the others are caught.
void TestTerminationRequests::ignoredSignalsStayIgnored()
{
    ::signal(SIGHUP, SIG_IGN);
    {
        TerminationRequests requests;
        struct sigaction current
        {
        };
        ::sigaction(SIGHUP, nullptr, &current);
        QVERIFY(current.sa_handler == SIG_IGN);
        QVERIFY(!hasDefaultAction(SIGTERM) && !hasDefaultAction(SIGINT));
        QSignalSpy spy(&requests, &TerminationRequests::requested);
        ::raise(SIGHUP);
        QTest::qWait(50);
        QVERIFY(spy.isEmpty());
    }
    struct sigaction after
    {
    };
    ::sigaction(SIGHUP, nullptr, &after);
    QVERIFY(after.sa_handler == SIG_IGN); // given back as it was found
    ::signal(SIGHUP, SIG_DFL);
}

void TestTerminationRequests::secondInstanceLeavesTheFirstInCharge()
{
    TerminationRequests first;
    QSignalSpy spy(&first, &TerminationRequests::requested);
    {
        TerminationRequests second;
    }
    ::raise(SIGTERM);
    QTRY_COMPARE(spy.count(), 1);
}

QTEST_GUILESS_MAIN(TestTerminationRequests)
#include "TestTerminationRequests.moc"
