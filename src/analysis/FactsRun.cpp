#include "FactsRun.h"

#include "DetachedStart.h"
#include "LiveWorker.h"

#include <mutex>
#include <optional>
#include <QCoreApplication>
#include <thread>

// The receiver is set and cleared on the owner's thread; the worker stores its result and posts to the receiver only
// under the mutex, so a post never races with the receiver's destruction.
struct FactsRun::Shared
{
    std::mutex mutex;
    FactsRun* receiver = nullptr;
    std::optional<PathFacts> result;

    void post(PathFacts facts)
    {
        std::lock_guard lock(mutex);
        if (!receiver) {
            return;
        }
        result = std::move(facts);
        QMetaObject::invokeMethod(receiver, "deliver", Qt::QueuedConnection);
    }
};

FactsRun::FactsRun(FactsReader reader, QString path, ThreadStarter startThread, QObject* parent)
    : QObject(parent), m_shared(std::make_shared<Shared>()), m_reader(std::move(reader)), m_path(std::move(path)),
      m_startThread(std::move(startThread))
{
    m_shared->receiver = this;
}

FactsRun::~FactsRun()
{
    abandon();
}

void FactsRun::abandon()
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->receiver = nullptr;
    m_shared->result.reset();
}

void FactsRun::deliver()
{
    std::optional<PathFacts> facts;
    {
        std::lock_guard lock(m_shared->mutex);
        // Empty when the run was abandoned after the worker posted.
        facts.swap(m_shared->result);
    }
    if (facts) {
        emit found(*facts);
    }
}

namespace {

PathFacts failure(const QString& reason)
{
    return PathFacts{PathKind::RegularFile, reason, std::nullopt};
}

PathFacts unexpectedFailure(const char* what)
{
    return failure(QCoreApplication::translate("FactsRun", "Unexpected failure while reading: %1")
                       .arg(QString::fromLocal8Bit(what)));
}

} // namespace

void FactsRun::start()
{
    // The worker owns copies of all it uses, so it may outlive this run, the session and the window.
    auto work = [shared = m_shared, reader = m_reader, path = m_path, live = std::make_shared<LiveWorker>()]() mutable {
        // The body of a thread of ours: nothing may leave it.
        try {
            PathFacts facts;
            try {
                facts = reader(path);
            } catch (const std::exception& error) {
                facts = unexpectedFailure(error.what());
            } catch (...) {
                facts = unexpectedFailure("unknown");
            }
            shared->post(std::move(facts));
        } catch (...) {
            // Out of memory even for the message: the rows stay empty rather than the process ending.
        }
        // Let go of the reader and the path before the worker stops counting as live.
        shared.reset();
        reader = {};
        path.clear();
        live.reset();
    };

    if (const std::optional<QString> refused = startDetached(m_startThread, std::move(work))) {
        // Reported after start() has returned, as a worker's result would be.
        m_shared->post(failure(QCoreApplication::translate("FactsRun", "Cannot start a thread: %1").arg(*refused)));
    }
}
