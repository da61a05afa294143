#include "DigestRun.h"

#include "DigestService.h"

DigestRun::DigestRun(DigestService& service, QString path, QObject* parent)
    : QObject(parent), m_service(service), m_path(std::move(path))
{}

DigestRun::~DigestRun()
{
    cancelAndWait();
}

void DigestRun::start()
{
    m_worker = std::thread(&DigestRun::work, this);
}

void DigestRun::cancelAndWait()
{
    m_job.cancel();
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

void DigestRun::deliver(std::function<void()> emitter)
{
    // Checked again on the owner's thread: a result queued just before a cancel must not be shown.
    QMetaObject::invokeMethod(
        this,
        [this, emitter = std::move(emitter)] {
            if (!m_job.isCancelled()) {
                emitter();
            }
        },
        Qt::QueuedConnection);
}

void DigestRun::work()
{
    for (DigestKind kind : kDigestOrder) {
        const DigestOutcome outcome = m_service.DigestFile(kind, m_path, -1, &m_job);
        if (outcome.status == DigestOutcome::Status::Cancelled || m_job.isCancelled()) {
            return;
        }
        if (!outcome.isOk()) {
            deliver([this, kind, reason = outcome.reason] { emit failed(kind, reason); });
            return;
        }
        deliver([this, kind, digest = outcome.digest] { emit digestReady(kind, digest); });
    }
}
