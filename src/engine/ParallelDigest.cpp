#include "ParallelDigest.h"

#include "FileReader.h"
#include "Hasher.h"

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr std::array<HashAlgorithm, 4> kAlgorithms{HashAlgorithm::Crc32, HashAlgorithm::Md5, HashAlgorithm::Sha1,
                                                   HashAlgorithm::Sha256};
constexpr int kLaneCount = 2;

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
    BlockRing(const ParallelDigestOptions& options, DigestJob& job)
        : m_blocks(std::max<std::size_t>(options.blocksInFlight, 1)), m_job(job)
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
            block.lanesPending = kLaneCount;
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
    std::mutex m_mutex;
    std::condition_variable m_filled;
    std::condition_variable m_freed;
    quint64 m_published = 0;
    bool m_ended = false;
    bool m_stopped = false;
    ParallelDigestResult::Status m_stopStatus = ParallelDigestResult::Status::Ok;
    QString m_stopReason;
};

void runLane(BlockRing& ring, DigestJob& job, const std::vector<Hasher*>& hashers)
{
    try {
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
            for (Hasher* hasher : hashers) {
                hasher->addData(data);
            }
            ring.release(*block);
        }
    } catch (const std::exception& error) {
        ring.stop(ParallelDigestResult::Status::Failed, QString::fromUtf8(error.what()));
    }
}

void readAll(BlockRing& ring, FileReader& reader, DigestJob& job)
{
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
}

} // namespace

ParallelDigestResult digestInParallel(FileReader& reader, DigestJob& job, const ParallelDigestOptions& options)
{
    std::array<std::unique_ptr<Hasher>, 4> hashers;
    for (std::size_t i = 0; i < kAlgorithms.size(); ++i) {
        hashers[i] = Hasher::create(kAlgorithms[i]);
    }
    const std::vector<Hasher*> md5Lane{hashers[1].get()};
    const std::vector<Hasher*> otherLane{hashers[2].get(), hashers[3].get(), hashers[0].get()};

    BlockRing ring(options, job);
    {
        std::jthread first(runLane, std::ref(ring), std::ref(job), std::cref(md5Lane));
        std::jthread second(runLane, std::ref(ring), std::ref(job), std::cref(otherLane));
        readAll(ring, reader, job);
    }

    ParallelDigestResult result;
    if (ring.stopped(&result.status, &result.reason)) {
        return result;
    }
    result.status = ParallelDigestResult::Status::Ok;
    for (std::size_t i = 0; i < hashers.size(); ++i) {
        result.digests[i] = hashers[i]->result();
    }
    return result;
}
