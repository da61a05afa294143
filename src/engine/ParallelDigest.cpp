#include "ParallelDigest.h"

#include "FileReader.h"
#include "Hasher.h"

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <QCoreApplication>
#include <thread>
#include <vector>

namespace {

struct Block
{
    std::vector<std::byte> bytes;
    std::size_t length = 0;
    int lanesPending = 0;
};

// The blocks in flight between the reader and the lanes, and the one lock that guards their hand-over.
class BlockRing
{
public:
    BlockRing(const ParallelDigestOptions& options, DigestJob& job, int laneCount)
        : m_blocks(std::max<std::size_t>(options.blocksInFlight, 1)), m_job(job), m_laneCount(laneCount)
    {
        for (Block& block : m_blocks) {
            block.bytes.resize(std::max<std::size_t>(options.blockSize, 1));
        }
    }

    // Reader side: the next block to fill, once every lane is done with it; null when the run is stopping.
    Block* waitForFree(quint64 sequence)
    {
        Block& block = m_blocks[sequence % m_blocks.size()];
        std::unique_lock lock(m_mutex);
        m_freed.wait(lock, [&] { return block.lanesPending == 0 || m_stopped; });
        return m_stopped ? nullptr : &block;
    }

    void publish(Block& block, std::size_t length)
    {
        {
            std::lock_guard lock(m_mutex);
            block.length = length;
            block.lanesPending = m_laneCount;
            ++m_published;
        }
        m_filled.notify_all();
    }

    void finish()
    {
        {
            std::lock_guard lock(m_mutex);
            m_ended = true;
        }
        m_filled.notify_all();
    }

    // Stops reader and lanes at once, keeping the first reason given.
    void stop(ParallelDigestResult::Status status, const QString& reason = {})
    {
        {
            std::lock_guard lock(m_mutex);
            if (!m_stopped) {
                m_stopped = true;
                m_stopStatus = status;
                m_stopReason = reason;
            }
        }
        m_filled.notify_all();
        m_freed.notify_all();
    }

    // Lane side: the block with this sequence number, or null at the end of the file or when stopping.
    Block* waitForFilled(quint64 sequence)
    {
        std::unique_lock lock(m_mutex);
        m_filled.wait(lock, [&] { return m_published > sequence || m_ended || m_stopped; });
        if (m_stopped || m_published <= sequence) {
            return nullptr;
        }
        return &m_blocks[sequence % m_blocks.size()];
    }

    void release(Block& block)
    {
        bool freed = false;
        {
            std::lock_guard lock(m_mutex);
            freed = --block.lanesPending == 0;
            if (freed) {
                m_job.addBytesDone(block.length);
            }
        }
        if (freed) {
            m_freed.notify_one();
        }
    }

    bool stopped(ParallelDigestResult::Status* status, QString* reason)
    {
        std::lock_guard lock(m_mutex);
        *status = m_stopStatus;
        *reason = m_stopReason;
        return m_stopped;
    }

private:
    std::vector<Block> m_blocks;
    DigestJob& m_job;
    const int m_laneCount;
    std::mutex m_mutex;
    std::condition_variable m_filled;
    std::condition_variable m_freed;
    quint64 m_published = 0;
    bool m_ended = false;
    bool m_stopped = false;
    ParallelDigestResult::Status m_stopStatus = ParallelDigestResult::Status::Ok;
    QString m_stopReason;
};

QString unexpectedFailure(const char* what)
{
    return QCoreApplication::translate("ParallelDigest", "Unexpected failure while digesting: %1")
        .arg(QString::fromLocal8Bit(what));
}

// Runs work so that nothing it throws gets past: the run stops with the reason instead.
template <typename Work> void stoppingOnException(BlockRing& ring, Work work)
{
    try {
        work();
    } catch (const std::exception& error) {
        ring.stop(ParallelDigestResult::Status::Failed, unexpectedFailure(error.what()));
    } catch (...) {
        ring.stop(ParallelDigestResult::Status::Failed, unexpectedFailure("unknown"));
    }
}

void runLane(BlockRing& ring, DigestJob& job, const std::vector<DigestSlot*>& digestSlots)
{
    // The body of a thread of ours: nothing may leave it, or the process ends.
    stoppingOnException(ring, [&] {
        for (quint64 sequence = 0;; ++sequence) {
            Block* block = ring.waitForFilled(sequence);
            if (!block) {
                return;
            }
            if (job.isCancelled()) {
                ring.stop(ParallelDigestResult::Status::Cancelled);
                return;
            }
            const std::span<const std::byte> data(block->bytes.data(), block->length);
            // Only this lane touches its digestSlots until the lanes are joined.
            for (DigestSlot* slot : digestSlots) {
                slot->add(data);
            }
            ring.release(*block);
        }
    });
}

void readAll(BlockRing& ring, FileReader& reader, DigestJob& job)
{
    // Between the lanes' start and their join nothing may throw past here, or a joinable thread would be destroyed.
    stoppingOnException(ring, [&] {
        for (quint64 sequence = 0;; ++sequence) {
            Block* block = ring.waitForFree(sequence);
            if (!block) {
                return;
            }
            if (job.isCancelled()) {
                ring.stop(ParallelDigestResult::Status::Cancelled);
                return;
            }
            const qint64 count = reader.read(block->bytes);
            if (count < 0) {
                ring.stop(ParallelDigestResult::Status::Failed, reader.errorString());
                return;
            }
            if (count == 0) {
                ring.finish();
                return;
            }
            ring.publish(*block, static_cast<std::size_t>(count));
        }
    });
}

std::thread startRealThread(std::function<void()> work)
{
    return std::thread(std::move(work));
}

ParallelDigestResult failure(QString reason)
{
    ParallelDigestResult result;
    result.status = ParallelDigestResult::Status::Failed;
    result.reason = std::move(reason);
    return result;
}

ParallelDigestResult digestWithLanes(FileReader& reader, DigestJob& job, const ParallelDigestOptions& options)
{
    const LanePlan& plan = options.lanes.empty() ? fittedLanePlan() : options.lanes;
    const ThreadStarter startThread = options.startThread ? options.startThread : ThreadStarter(startRealThread);

    std::array<DigestSlot, kAlgorithmCount> digestSlots;
    AlgorithmSet algorithms;
    std::vector<std::vector<DigestSlot*>> lanes;
    for (const std::vector<HashAlgorithm>& group : plan) {
        auto& lane = lanes.emplace_back();
        for (HashAlgorithm algorithm : group) {
            DigestSlot& slot = digestSlots[indexOf(algorithm)];
            slot.start(algorithm, options.createHasher);
            algorithms.insert(algorithm);
            lane.push_back(&slot);
        }
    }

    BlockRing ring(options, job, static_cast<int>(lanes.size()));
    std::vector<std::thread> threads;
    threads.reserve(lanes.size()); // no allocation may fail once a thread runs
    for (const std::vector<DigestSlot*>& lane : lanes) {
        try {
            threads.push_back(startThread([&ring, &job, &lane] { runLane(ring, job, lane); }));
        } catch (const std::exception& error) {
            // The lanes already running would otherwise wait for blocks for ever.
            ring.stop(ParallelDigestResult::Status::Failed,
                      QCoreApplication::translate("ParallelDigest", "Cannot start a thread: %1")
                          .arg(QString::fromLocal8Bit(error.what())));
            break;
        }
    }
    if (threads.size() == lanes.size()) {
        readAll(ring, reader, job);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }

    ParallelDigestResult result;
    if (ring.stopped(&result.status, &result.reason)) {
        return result;
    }
    result.algorithms = algorithms;
    algorithms.forEach([&](HashAlgorithm algorithm) {
        DigestSlot& slot = digestSlots[indexOf(algorithm)];
        if (std::optional<QByteArray> digest = slot.finish()) {
            result.digests[indexOf(algorithm)] = std::move(*digest);
        }
        result.refusals[indexOf(algorithm)] = slot.refusal;
    });
    result.status = ParallelDigestResult::Status::Ok;
    return result;
}

} // namespace

ParallelDigestResult digestInParallel(FileReader& reader, DigestJob& job, const ParallelDigestOptions& options)
{
    try {
        return digestWithLanes(reader, job, options);
    } catch (const std::exception& error) {
        return failure(unexpectedFailure(error.what()));
    } catch (...) {
        return failure(unexpectedFailure("unknown"));
    }
}
