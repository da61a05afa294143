#include "CheckRun.h"

#include "DigestBatch.h"
#include "LiveWorker.h"

#include <exception>
#include <QCoreApplication>
#include <thread>

namespace {

template <typename T> void appendAll(std::vector<T>& to, std::vector<T>&& from)
{
    if (to.empty()) {
        to = std::move(from);
        return;
    }
    to.insert(to.end(), std::make_move_iterator(from.begin()), std::make_move_iterator(from.end()));
}

} // namespace

void Delivery::mergeFrom(Delivery&& later)
{
    appendAll(newRows, std::move(later.newRows));
    appendAll(answers, std::move(later.answers));
    appendAll(conflicts, std::move(later.conflicts));
    problems += later.problems;
    foundFiles += later.foundFiles;
    if (later.totalBytes) {
        totalBytes = later.totalBytes;
    }
    if (later.digests) {
        digests = std::move(later.digests);
    }
    if (later.identity) {
        identity = later.identity;
    }
    if (later.comparison) {
        comparison = later.comparison;
    }
    finished = finished || later.finished;
}

CheckRun::CheckRun(QObject* receiver, const char* deliverMethod) : m_receiver(receiver), m_method(deliverMethod) {}

void CheckRun::post(Delivery delivery)
{
    std::lock_guard lock(m_mutex);
    if (!m_receiver) {
        return;
    }
    m_pending.mergeFrom(std::move(delivery));
    // One queued call for whatever gathers before the owner takes it.
    if (!m_posted) {
        m_posted = true;
        QMetaObject::invokeMethod(m_receiver, m_method, Qt::QueuedConnection);
    }
}

void CheckRun::attach(DigestBatch* batch)
{
    std::lock_guard lock(m_mutex);
    m_batch = batch;
    if (m_cancelled.load(std::memory_order_relaxed)) {
        batch->cancel();
    }
}

void CheckRun::detach()
{
    std::lock_guard lock(m_mutex);
    if (m_batch) {
        m_bytesBefore.fetch_add(m_batch->bytesDone(), std::memory_order_relaxed);
        m_batch = nullptr;
    }
}

Delivery CheckRun::take()
{
    std::lock_guard lock(m_mutex);
    m_posted = false;
    return std::exchange(m_pending, Delivery{});
}

quint64 CheckRun::bytesDone() const
{
    std::lock_guard lock(m_mutex);
    return m_bytesBefore.load(std::memory_order_relaxed) + (m_batch ? m_batch->bytesDone() : 0);
}

void CheckRun::abandon()
{
    std::lock_guard lock(m_mutex);
    m_cancelled.store(true, std::memory_order_relaxed);
    m_receiver = nullptr;
    m_pending = Delivery{};
    if (m_batch) {
        m_batch->cancel();
    }
}

int CheckRun::liveWorkers()
{
    return LiveWorker::count();
}

void CheckRun::start(const std::shared_ptr<CheckRun>& run, std::function<void(CheckRun&)> job)
{
    auto finishWith = [](CheckRun& self, const QString& reason) noexcept {
        try {
            Delivery delivery;
            delivery.problems.append(reason);
            delivery.finished = true;
            self.post(std::move(delivery));
        } catch (...) {
            // Out of memory even for the message: the rows keep what they show.
        }
    };
    auto work = [run = std::shared_ptr<CheckRun>(run), job = std::move(job), live = std::make_shared<LiveWorker>(),
                 finishWith]() mutable {
        // The body of a thread of ours: nothing may leave it.
        try {
            job(*run);
        } catch (const std::exception& error) {
            finishWith(*run, QCoreApplication::translate("CheckRun", "Unexpected failure: %1")
                                 .arg(QString::fromLocal8Bit(error.what())));
        } catch (...) {
            finishWith(*run, QCoreApplication::translate("CheckRun", "Unexpected failure."));
        }
        // Let go of the run before the worker stops counting as live.
        job = nullptr;
        run.reset();
        live.reset();
    };
    try {
        std::thread(std::move(work)).detach();
    } catch (const std::exception& error) {
        finishWith(*run, QCoreApplication::translate("CheckRun", "Cannot start a thread: %1")
                             .arg(QString::fromLocal8Bit(error.what())));
    }
}
