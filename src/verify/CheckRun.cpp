#include "CheckRun.h"

#include "DigestBatch.h"
#include "LiveWorker.h"

#include <QCoreApplication>

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
    appendAll(stalled, std::move(later.stalled));
    appendAll(sizes, std::move(later.sizes));
    problems += later.problems;
    unreadLines += later.unreadLines;
    unlistedUnread += later.unlistedUnread;
    foundFiles += later.foundFiles;
    if (later.totalBytes) {
        totalBytes = later.totalBytes;
    }
    if (later.digests) {
        digests = std::move(later.digests);
    }
    if (later.readFor) {
        readFor = later.readFor;
    }
    if (later.identity) {
        identity = later.identity;
    }
    if (later.comparison) {
        comparison = later.comparison;
    }
    finished = finished || later.finished;
    dataFileIsPipe = dataFileIsPipe || later.dataFileIsPipe;
    if (later.waitingForWriter) {
        waitingForWriter = later.waitingForWriter;
    }
}

CheckRun::CheckRun(QObject* receiver, const char* deliverMethod)
    : m_mailbox(std::make_shared<WorkerMailbox<Delivery>>(receiver, deliverMethod))
{}

void CheckRun::post(Delivery delivery)
{
    m_rowsNotTaken.fetch_add(static_cast<qsizetype>(delivery.newRows.size()), std::memory_order_relaxed);
    m_mailbox->post(std::move(delivery));
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
    // Handed over whole: a run of small files costs one model update.
    Delivery whole;
    for (Delivery& delivery : m_mailbox->take()) {
        whole.mergeFrom(std::move(delivery));
    }
    m_rowsNotTaken.fetch_sub(static_cast<qsizetype>(whole.newRows.size()), std::memory_order_relaxed);
    return whole;
}

quint64 CheckRun::bytesDone() const
{
    std::lock_guard lock(m_mutex);
    return m_bytesBefore.load(std::memory_order_relaxed) + (m_batch ? m_batch->bytesDone() : 0);
}

void CheckRun::abandon()
{
    {
        std::lock_guard lock(m_mutex);
        m_cancelled.store(true, std::memory_order_relaxed);
        if (m_batch) {
            m_batch->cancel();
        }
    }
    m_mailbox->abandon();
}

int CheckRun::liveWorkers()
{
    return LiveWorker::count();
}

void CheckRun::start(const std::shared_ptr<CheckRun>& run, std::function<void(CheckRun&)> job)
{
    // A job that throws, or no thread to be had, finishes the run with the reason.
    auto finishWith = [](const WorkerFailure& why) {
        Delivery delivery;
        if (!why.started) {
            delivery.problems.append(
                QCoreApplication::translate("CheckRun", "Cannot start a thread: %1").arg(why.what));
        } else if (why.what.isEmpty()) {
            delivery.problems.append(QCoreApplication::translate("CheckRun", "Unexpected failure."));
        } else {
            delivery.problems.append(QCoreApplication::translate("CheckRun", "Unexpected failure: %1").arg(why.what));
        }
        delivery.finished = true;
        return delivery;
    };
    startWorker<Delivery>(
        run->m_mailbox, [run, job = std::move(job)](auto&) { job(*run); }, finishWith);
}

bool CheckRun::startBeside(std::function<void(CheckRun&)> job)
{
    return startWorker<Delivery>(m_mailbox, [run = shared_from_this(), job = std::move(job)](auto&) { job(*run); });
}
