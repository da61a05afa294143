#pragma once

#include "DigestService.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <QHash>
#include <QList>
#include <QPair>

// A digest service that answers only when the test releases it, so every state of the rows can be seen. Its
// digests name the selector and the path ("md5:/tmp/a"), which lets a test tell whose result reached a row.
class HoldableDigests final : public DigestService
{
public:
    static QString fakeDigest(DigestKind kind, const QString& path)
    {
        static const QHash<DigestKind, QString> names{{DigestKind::Crc32, QStringLiteral("crc32")},
                                                      {DigestKind::Md5, QStringLiteral("md5")},
                                                      {DigestKind::Sha1, QStringLiteral("sha1")},
                                                      {DigestKind::Sha256, QStringLiteral("sha256")}};
        return names.value(kind) + u':' + path;
    }

    DigestOutcome DigestFile(DigestKind kind, const QString& path, qint32 reserved, DigestJob* job) override
    {
        std::unique_lock lock(m_mutex);
        m_calls.append({kind, path});
        m_reserved = reserved;
        // Polled: the job's cancel flag is an atomic with no notification of its own.
        while (m_permits == 0) {
            if (job && job->isCancelled()) {
                ++m_cancelled;
                return DigestOutcome::cancelled();
            }
            m_released.wait_for(lock, std::chrono::milliseconds(5));
        }
        --m_permits;
        if (m_failAt && *m_failAt == kind) {
            return DigestOutcome::failed(m_failReason);
        }
        if (m_unavailable.contains(kind)) {
            return DigestOutcome::unavailable(m_unavailable.value(kind));
        }
        return DigestOutcome::ok(fakeDigest(kind, path));
    }

    void release(int count = 1)
    {
        {
            std::lock_guard lock(m_mutex);
            m_permits += count;
        }
        m_released.notify_all();
    }

    void failAt(DigestKind kind, const QString& reason)
    {
        std::lock_guard lock(m_mutex);
        m_failAt = kind;
        m_failReason = reason;
    }

    void unavailableAt(DigestKind kind, const QString& reason)
    {
        std::lock_guard lock(m_mutex);
        m_unavailable.insert(kind, reason);
    }

    QList<QPair<DigestKind, QString>> calls() const
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    int cancelledCalls() const
    {
        std::lock_guard lock(m_mutex);
        return m_cancelled;
    }
    qint32 lastReserved() const
    {
        std::lock_guard lock(m_mutex);
        return m_reserved;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    int m_permits = 0;
    int m_cancelled = 0;
    qint32 m_reserved = 0;
    std::optional<DigestKind> m_failAt;
    QString m_failReason;
    QHash<DigestKind, QString> m_unavailable;
    QList<QPair<DigestKind, QString>> m_calls;
};
