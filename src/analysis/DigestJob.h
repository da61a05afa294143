#pragma once

#include "Algorithms.h"
#include "DigestOutcome.h"
#include "FileReader.h"

#include <array>
#include <atomic>
#include <mutex>
#include <optional>
#include <QString>
#include <QtGlobal>

// One analysis's digests: the cancel flag and progress shared with the thread that computes them, the version of
// the file the analysis showed, and the one read that serves all the window's digests. A new analysis takes a new job,
// so nothing read for an earlier one is ever served again.
class DigestJob
{
public:
    DigestJob() = default;
    explicit DigestJob(std::optional<FileIdentity> shownVersion) : m_shownVersion(shownVersion) {}

    void cancel() { m_cancelled.store(true, std::memory_order_relaxed); }
    bool isCancelled() const { return m_cancelled.load(std::memory_order_relaxed); }

    // Bytes that every digest has taken in so far.
    quint64 bytesDone() const { return m_bytesDone.load(std::memory_order_relaxed); }
    void addBytesDone(quint64 count) { m_bytesDone.fetch_add(count, std::memory_order_relaxed); }

    // For the engine, which heeds the flag and counts in the counter directly.
    const std::atomic<bool>& cancelFlag() const { return m_cancelled; }
    std::atomic<quint64>& bytesDoneCounter() { return m_bytesDone; }

    // The version whose size and dates are on screen; digests of any other version are refused.
    const std::optional<FileIdentity>& shownVersion() const { return m_shownVersion; }

    // The outcomes of one read, indexed by HashAlgorithm (a digest or why it is unavailable), and what they
    // describe.
    struct Read
    {
        QByteArray nativePath;
        std::array<DigestOutcome, kAlgorithmCount> outcomes;
        // What the digests cover: the file's size, except where the file system gives none (files under /proc).
        quint64 bytesRead = 0;
    };
    std::optional<Read> read() const
    {
        std::lock_guard lock(m_mutex);
        return m_read;
    }
    void keepRead(Read read)
    {
        std::lock_guard lock(m_mutex);
        m_read = std::move(read);
    }

private:
    std::atomic<bool> m_cancelled{false};
    std::atomic<quint64> m_bytesDone{0};
    const std::optional<FileIdentity> m_shownVersion;
    mutable std::mutex m_mutex;
    std::optional<Read> m_read;
};
