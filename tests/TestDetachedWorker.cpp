#include "DetachedWorker.h"

#include <atomic>
#include <cerrno>
#include <latch>
#include <memory>
#include <new>
#include <QTest>
#include <QThread>
#include <stdexcept>
#include <system_error>

namespace {

enum class Work
{
    PostMany,      // "1" to "300", then ends
    PostHangPost,  // "first", waits at the gate, then "late" for as long as the owner takes them
    PostThenThrow, // "before", then a std::runtime_error
    ThrowOther,    // an exception that is no std::exception
    ReportThrows,  // throws, and so does the making of its failure report
};

enum class OwnerEnd
{
    Keeps,
    AbandonsAtFirst,    // abandon() from inside the handling of the first message
    AbandonsWhileHung,  // abandon() once "first" has come, while the worker waits at the gate
    DestroyedWhileHung, // the owner deleted while the worker waits at the gate
};

} // namespace

Q_DECLARE_METATYPE(Work)
Q_DECLARE_METATYPE(OwnerEnd)

// The receiver of a worker's messages, as a run object is: the worker is one of its members.
class Owner : public QObject
{
    Q_OBJECT

public:
    Owner(std::shared_ptr<QStringList> received, bool abandonAtFirst)
        : m_received(std::move(received)), m_abandonAtFirst(abandonAtFirst)
    {}

    DetachedWorker<QString> worker{this, "deliver"};
    int callsOffThread = 0;

private:
    Q_INVOKABLE void deliver()
    {
        if (QThread::currentThread() != thread()) {
            ++callsOffThread;
        }
        worker.deliverEach([this](const QString& message) {
            m_received->append(message);
            if (m_abandonAtFirst) {
                worker.abandon();
            }
        });
    }

    std::shared_ptr<QStringList> m_received;
    bool m_abandonAtFirst;
};

class TestDetachedWorker : public QObject
{
    Q_OBJECT

private slots:
    void deliversUntilAbandonedAndLetsGo_data();
    void deliversUntilAbandonedAndLetsGo();
};

static QStringList numbered(int count)
{
    QStringList list;
    for (int i = 1; i <= count; ++i) {
        list.append(QString::number(i));
    }
    return list;
}

void TestDetachedWorker::deliversUntilAbandonedAndLetsGo_data()
{
    QTest::addColumn<Work>("work");
    QTest::addColumn<OwnerEnd>("ownerEnd");
    QTest::addColumn<bool>("refuseThread");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("in order") << Work::PostMany << OwnerEnd::Keeps << false << numbered(300);
    QTest::newRow("nothing after an abandon in a handler")
        << Work::PostMany << OwnerEnd::AbandonsAtFirst << false << QStringList{"1"};
    QTest::newRow("nothing after an abandon while the worker hangs")
        << Work::PostHangPost << OwnerEnd::AbandonsWhileHung << false << QStringList{"first"};
    QTest::newRow("owner destroyed while the worker hangs")
        << Work::PostHangPost << OwnerEnd::DestroyedWhileHung << false << QStringList{"first"};
    QTest::newRow("exception in work") << Work::PostThenThrow << OwnerEnd::Keeps << false
                                       << QStringList{"before", "threw: disk on fire"};
    QTest::newRow("exception of no known kind")
        << Work::ThrowOther << OwnerEnd::Keeps << false << QStringList{"threw: "};
    QTest::newRow("failure report that throws too") << Work::ReportThrows << OwnerEnd::Keeps << false << QStringList{};
    QTest::newRow("thread start refused")
        << Work::PostMany << OwnerEnd::Keeps << true
        << QStringList{"no thread: " +
                       QString::fromLocal8Bit(std::system_error(EAGAIN, std::generic_category()).what())};
}

void TestDetachedWorker::deliversUntilAbandonedAndLetsGo()
{
    QFETCH(Work, work);
    QFETCH(OwnerEnd, ownerEnd);
    QFETCH(bool, refuseThread);
    QFETCH(QStringList, expected);

    const int liveBefore = LiveWorker::count();
    auto received = std::make_shared<QStringList>();
    auto owner = std::make_unique<Owner>(received, ownerEnd == OwnerEnd::AbandonsAtFirst);
    auto gate = std::make_shared<std::latch>(1);
    auto atGate = std::make_shared<std::atomic<bool>>(false);
    auto ran = std::make_shared<std::atomic<bool>>(false);
    auto lateRefused = std::make_shared<std::atomic<bool>>(false);
    // Held by the work only: the worker must let go of it by itself, whatever became of the owner.
    auto held = std::make_shared<int>(0);
    const std::weak_ptr<int> heldByWorker = held;

    std::function<void(WorkerMailbox<QString>&)> body = [work, gate, atGate, ran, lateRefused,
                                                         held = std::move(held)](WorkerMailbox<QString>& mailbox) {
        ran->store(true);
        switch (work) {
        case Work::PostMany:
            for (const QString& message : numbered(300)) {
                mailbox.post(message);
            }
            return;
        case Work::PostHangPost:
            mailbox.post(QStringLiteral("first"));
            atGate->store(true);
            gate->wait();
            lateRefused->store(!mailbox.post(QStringLiteral("late")));
            return;
        case Work::PostThenThrow:
            mailbox.post(QStringLiteral("before"));
            throw std::runtime_error("disk on fire");
        case Work::ThrowOther:
        case Work::ReportThrows:
            throw 42;
        }
    };
    auto failure = [work](const WorkerFailure& why) -> QString {
        if (work == Work::ReportThrows) {
            throw std::bad_alloc();
        }
        return (why.started ? QStringLiteral("threw: ") : QStringLiteral("no thread: ")) + why.what;
    };
    ThreadStarter starter;
    if (refuseThread) {
        starter = [](std::function<void()>) -> std::thread {
            throw std::system_error(EAGAIN, std::generic_category());
        };
    }

    QCOMPARE(owner->worker.start(body, failure, starter), !refuseThread);
    body = nullptr;
    // Nothing is handed over within start(), not even the report of a thread refused.
    QVERIFY(received->isEmpty());
    if (refuseThread) {
        QCOMPARE(LiveWorker::count(), liveBefore);
    }

    if (work == Work::PostHangPost) {
        QTRY_COMPARE(*received, QStringList{"first"});
        QTRY_VERIFY(atGate->load());
        if (ownerEnd == OwnerEnd::AbandonsWhileHung) {
            owner->worker.abandon();
        } else {
            owner.reset();
        }
        QCOMPARE(LiveWorker::count(), liveBefore + 1); // left behind, not waited for
        gate->count_down();
    }

    // The worker ends by itself, having let go of everything it held.
    QTRY_COMPARE(LiveWorker::count(), liveBefore);
    QVERIFY(heldByWorker.expired());
    QTest::qWait(50); // anything still posted would arrive now
    QCOMPARE(*received, expected);
    QCOMPARE(ran->load(), !refuseThread);
    if (work == Work::PostHangPost) {
        QVERIFY(lateRefused->load());
    }
    if (owner) {
        QCOMPARE(owner->callsOffThread, 0);
    }
}

QTEST_GUILESS_MAIN(TestDetachedWorker)
#include "TestDetachedWorker.moc"
