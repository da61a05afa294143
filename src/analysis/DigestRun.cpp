#include "DigestRun.h"

#include "DetachedWorker.h"
#include "DigestService.h"
#include "LiveWorker.h"

#include <functional>
#include <QCoreApplication>

// What the worker and the owner share: the mailbox the results travel in, and the job the engine reads under, which
// abandoning cancels.
struct DigestRun::Shared : WorkerMailbox<std::function<void(DigestRun&)>>
{
    Shared(std::optional<FileIdentity> shownVersion, DigestRun* receiver)
        : WorkerMailbox(receiver, "deliverPending"), job(shownVersion)
    {}

    DigestJob job;
};

void DigestRun::deliverPending()
{
    for (const auto& deliver : m_shared->take()) {
        // Checked before each: a result queued just before abandon() must not be shown.
        if (m_shared->isAbandoned()) {
            return;
        }
        deliver(*this);
    }
}

DigestRun::DigestRun(std::shared_ptr<DigestService> service, QString path, std::optional<FileIdentity> shownVersion,
                     ThreadStarter startThread, QObject* parent)
    : QObject(parent), m_shared(std::make_shared<Shared>(shownVersion, this)), m_service(std::move(service)),
      m_path(std::move(path)), m_startThread(std::move(startThread))
{}

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
    m_shared->job.cancel();
    m_shared->abandon();
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
    auto work = [shared = m_shared, service = m_service, path = m_path, reportUnexpected](auto&) {
        // Kinds of failure the worker tells apart itself; the worker type catches anything else.
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
    };
    // Reported like any other failure, and after start() has returned, as a worker's would be.
    auto failure = [](const WorkerFailure& why) -> std::function<void(DigestRun&)> {
        const QString reason =
            why.started ? QCoreApplication::translate("DigestRun", "Unexpected failure while digesting: %1")
                              .arg(why.what.isEmpty() ? QStringLiteral("unknown") : why.what)
                        : QCoreApplication::translate("DigestRun", "Cannot start a thread: %1").arg(why.what);
        return [reason](DigestRun& run) { emit run.failed(kDigestOrder.front(), reason); };
    };
    startWorker<std::function<void(DigestRun&)>>(m_shared, std::move(work), failure, m_startThread);
}
