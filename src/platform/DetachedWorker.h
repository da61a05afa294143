#pragma once

#include "LiveWorker.h"
#include "ThreadStarter.h"

#include <atomic>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <QObject>
#include <QString>
#include <thread>

// Why a worker's own answer did not come: its work threw, or no thread could be had.
struct WorkerFailure
{
    bool started = true; // false: no thread could be had, the work never ran
    QString what;        // the exception's or the system's words; empty for an exception that says nothing
};

// Starts body on a thread of its own, never joined (the real one unless a starter is given); the system's reason
// when no thread could be had, in which case body was never run.
std::optional<QString> startDetachedThread(const ThreadStarter& starter, std::function<void()> body);

// What a worker and its owner share. The worker posts messages; the owner is told on its own thread by a queued call
// of RECEIVER's METHOD, one call for whatever gathers before it takes them. The receiver is cleared on the owner's
// thread and posts happen under the same lock, so no post races with the receiver's end, and after abandon()
// nothing more is taken or called for. The messages travel under this lock rather than inside the posted call, so
// the hand-over is one the sanitizers can see.
template <typename Message> class WorkerMailbox
{
public:
    WorkerMailbox(QObject* receiver, const char* method) : m_receiver(receiver), m_method(method) {}

    // Worker side. False once abandoned: the message is dropped and the worker may stop.
    bool post(Message message)
    {
        std::lock_guard lock(m_mutex);
        if (!m_receiver) {
            return false;
        }
        m_pending.push_back(std::move(message));
        if (!m_called) {
            m_called = true;
            QMetaObject::invokeMethod(m_receiver, m_method, Qt::QueuedConnection);
        }
        return true;
    }

    // Either side; the owner's own abandon() is seen at once on its thread.
    bool isAbandoned() const { return m_abandoned.load(std::memory_order_acquire); }

    // Owner side: everything posted so far, in order; nothing once abandoned.
    std::deque<Message> take()
    {
        std::lock_guard lock(m_mutex);
        m_called = false;
        return std::exchange(m_pending, {});
    }

    // Owner side: nothing is taken or called for after this returns; the worker is not waited for.
    void abandon()
    {
        std::deque<Message> dropped;
        std::lock_guard lock(m_mutex);
        m_abandoned.store(true, std::memory_order_release);
        m_receiver = nullptr;
        dropped.swap(m_pending);
    }

private:
    mutable std::mutex m_mutex;
    QObject* m_receiver;
    const char* m_method;
    std::deque<Message> m_pending;
    bool m_called = false;
    std::atomic<bool> m_abandoned{false};
};

// Runs work on a thread of its own that is never joined, posting into mailbox. No exception leaves the thread: one
// that leaves work is posted as failure's message (when failure is given), and so is a thread that could not be had,
// then too after this has returned. The worker counts as live (LiveWorker) from before it starts until it has let go
// of everything it holds, the work's captures included. False when no thread could be had.
template <typename Message>
bool startWorker(const std::shared_ptr<WorkerMailbox<Message>>& mailbox,
                 std::function<void(WorkerMailbox<Message>&)> work,
                 std::function<Message(const WorkerFailure&)> failure = {}, const ThreadStarter& starter = {})
{
    auto body = [outbox = mailbox, work = std::move(work), failure, live = std::make_shared<LiveWorker>()]() mutable {
        // The body of a thread of ours: nothing may leave it.
        try {
            try {
                work(*outbox);
            } catch (const std::exception& error) {
                if (failure) {
                    outbox->post(failure(WorkerFailure{true, QString::fromLocal8Bit(error.what())}));
                }
            } catch (...) {
                if (failure) {
                    outbox->post(failure(WorkerFailure{true, QString()}));
                }
            }
        } catch (...) {
            // Out of memory even for the report: the owner keeps what it shows rather than the process ending.
        }
        // Let go of the work and the mailbox before the worker stops counting as live.
        work = nullptr;
        failure = nullptr;
        outbox.reset();
        live.reset();
    };
    const std::optional<QString> refused = startDetachedThread(starter, std::move(body));
    if (refused && failure) {
        mailbox->post(failure(WorkerFailure{false, *refused}));
    }
    return !refused;
}

// The owner's end of one worker, a member of the receiver: destroying it abandons the worker, so the receiver is
// never called for once it is going.
template <typename Message> class DetachedWorker
{
public:
    using Mailbox = WorkerMailbox<Message>;

    DetachedWorker(QObject* receiver, const char* method) : m_mailbox(std::make_shared<Mailbox>(receiver, method)) {}
    ~DetachedWorker() { m_mailbox->abandon(); }
    DetachedWorker(const DetachedWorker&) = delete;
    DetachedWorker& operator=(const DetachedWorker&) = delete;

    bool start(std::function<void(Mailbox&)> work, std::function<Message(const WorkerFailure&)> failure = {},
               const ThreadStarter& starter = {})
    {
        return startWorker(m_mailbox, std::move(work), std::move(failure), starter);
    }
    std::deque<Message> take() { return m_mailbox->take(); }
    // Hands each message taken to handle in order, and stops as soon as one handling abandons the worker.
    template <typename Handle> void deliverEach(Handle&& handle)
    {
        for (Message& message : take()) {
            if (isAbandoned()) {
                return;
            }
            handle(message);
        }
    }
    void abandon() { m_mailbox->abandon(); }
    bool isAbandoned() const { return m_mailbox->isAbandoned(); }

private:
    std::shared_ptr<Mailbox> m_mailbox;
};
