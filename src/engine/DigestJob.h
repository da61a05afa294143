#pragma once

#include <atomic>
#include <QtGlobal>

// Shared between the thread that waits for digests and the one that computes them.
class DigestJob
{
public:
    void cancel() { m_cancelled.store(true, std::memory_order_relaxed); }
    bool isCancelled() const { return m_cancelled.load(std::memory_order_relaxed); }

    // Bytes that every digest has taken in so far.
    quint64 bytesDone() const { return m_bytesDone.load(std::memory_order_relaxed); }
    void addBytesDone(quint64 count) { m_bytesDone.fetch_add(count, std::memory_order_relaxed); }

private:
    std::atomic<bool> m_cancelled{false};
    std::atomic<quint64> m_bytesDone{0};
};
