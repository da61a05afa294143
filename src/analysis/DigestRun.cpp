#include "DigestRun.h"

#include "DetachedStart.h"
#include "DigestService.h"
#include "LiveWorker.h"

#include <deque>
#include <functional>
#include <mutex>
#include <QCoreApplication>

// What the worker and the owner share. The receiver is set and cleared on the owner's thread; the worker queues its
// results and posts to the receiver only under the mutex, so a post can never race with the receiver's destruction,
// and posted events die with it. The results travel in the queue, under the same mutex, rather than inside the
// posted event: the owner takes them under a lock that the sanitizers can see.
struct DigestRun::Shared
{
    explicit Shared(std::optional<FileIdentity> shownVersion) : job(shownVersion) {}

    DigestJob job;
    std::mutex mutex;
    DigestRun* receiver = nullptr;
    std::deque<std::function<void(DigestRun&)>> pending;

    void post(std::function<void(DigestRun&)> deliver)
    {
        std::lock_guard lock(mutex);
        if (!receiver || job.isCancelled()) {
            return;
        }
        pending.push_back(std::move(deliver));
        QMetaObject::invokeMethod(receiver, "deliverPending", Qt::QueuedConnection);
    }
};

void DigestRun::deliverPending()
{
    std::deque<std::function<void(DigestRun&)>> ready;
    {
        std::lock_guard lock(m_shared->mutex);
        ready.swap(m_shared->pending);
    }
    for (const auto& deliver : ready) {
        // Checked before each: a result queued just before abandon() must not be shown.
        if (m_shared->job.isCancelled()) {
            return;
        }
        deliver(*this);
    }
}

DigestRun::DigestRun(std::shared_ptr<DigestService> service, QString path, std::optional<FileIdentity> shownVersion,
                     ThreadStarter startThread, QObject* parent)
    : QObject(parent), m_shared(std::make_shared<Shared>(shownVersion)), m_service(std::move(service)),
      m_path(std::move(path)), m_startThread(std::move(startThread))
{
    m_shared->receiver = this;
}

DigestRun::~DigestRun()
{
    abandon();
}

int DigestRun::liveWorkers()
{
    return LiveWorker::count();
}

void DigestRun::abandon()
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->job.cancel();
    m_shared->receiver = nullptr;
}

quint64 DigestRun::bytesDone() const
{
    return m_shared->job.bytesDone();
}

namespace {

QString unexpectedFailure(const char* what)
{
    return QCoreApplication::translate("DigestRun", "Unexpected failure while digesting: %1")
        .arg(QString::fromLocal8Bit(what));
}

} // namespace

void DigestRun::start()
{
    auto reportUnexpected = [](Shared& shared, DigestKind kind, const char* what) noexcept {
        try {
            shared.post([kind, reason = unexpectedFailure(what)](DigestRun& run) { emit run.failed(kind, reason); });
        } catch (...) {
            // Out of memory even for the message: the row keeps "Calculating ..." rather than the process ending.
        }
    };
    // The worker owns copies of all it uses, so it may outlive this run, the session and the window.
    auto work = [shared = m_shared, service = m_service, path = m_path, live = std::make_shared<LiveWorker>(),
                 reportUnexpected]() mutable {
        // The body of a thread of ours: nothing may leave it.
        DigestKind current = kDigestOrder.front();
        bool lengthTold = false;
        try {
            for (DigestKind kind : kDigestOrder) {
                current = kind;
                const DigestOutcome outcome = service->DigestFile(kind, path, -1, &shared->job);
                if (outcome.status == DigestOutcome::Status::Cancelled || shared->job.isCancelled()) {
                    break;
                }
                if (outcome.status != DigestOutcome::Status::Failed && !lengthTold) {
                    if (const std::optional<DigestJob::Read> read = shared->job.read()) {
                        lengthTold = true;
                        shared->post([count = read->bytesRead](DigestRun& run) { emit run.bytesRead(count); });
                    }
                }
                if (outcome.status == DigestOutcome::Status::Unavailable) {
                    shared->post(
                        [kind, reason = outcome.reason](DigestRun& run) { emit run.unavailable(kind, reason); });
                    continue;
                }
                if (!outcome.isOk()) {
                    shared->post([kind, reason = outcome.reason](DigestRun& run) { emit run.failed(kind, reason); });
                    break;
                }
                shared->post([kind, digest = outcome.digest](DigestRun& run) { emit run.digestReady(kind, digest); });
            }
        } catch (const std::exception& error) {
            reportUnexpected(*shared, current, error.what());
        } catch (...) {
            reportUnexpected(*shared, current, "unknown");
        }
        // Let go of the engine and the job before the worker stops counting as live.
        shared.reset();
        service.reset();
        live.reset();
    };

    if (const std::optional<QString> refused = startDetached(m_startThread, std::move(work))) {
        const QString reason = QCoreApplication::translate("DigestRun", "Cannot start a thread: %1").arg(*refused);
        // Reported like any other failure, and after start() has returned, as a worker's would be.
        m_shared->post([reason](DigestRun& run) { emit run.failed(kDigestOrder.front(), reason); });
    }
}
