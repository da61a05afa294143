#pragma once

#include "DigestSlot.h"
#include "FileReader.h"
#include "LanePlan.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <QString>
#include <QtGlobal>
#include <vector>

// The blocks one worker reads files into, allocated once and used for file after file.
class ReadBuffers
{
public:
    ReadBuffers(std::size_t blockSize, std::size_t blocks);

    std::span<std::byte> block(quint64 sequence);
    std::size_t& length(quint64 sequence) { return m_lengths[sequence % m_lengths.size()]; }
    std::size_t size() const { return m_lengths.size(); }

private:
    std::size_t m_blockSize;
    std::vector<std::unique_ptr<std::byte[]>> m_blocks;
    std::vector<std::size_t> m_lengths;
};

// A read stops at its next block once either flag is up: the batch's own, or that of whoever owns the batch.
struct CancelFlags
{
    const std::atomic<bool>* own = nullptr;
    const std::atomic<bool>* owner = nullptr;

    bool raised() const
    {
        return (own && own->load(std::memory_order_relaxed)) || (owner && owner->load(std::memory_order_relaxed));
    }
};

// One file read once by the worker that owns it, its digests grouped in lanes. Each lane digests the blocks in
// order, one block at a time, by whoever is free: the owner between its reads, and any worker with nothing else to
// do that joins in. Whoever is free takes the lane furthest behind, so the slowest digest is always being worked on
// and the others, and the reading, fill the gaps, whatever the reading costs (a cold cache costs the reader more).
class SharedRead
{
public:
    enum class End
    {
        Done,
        Failed,
        Cancelled,
    };

    // The digest slots must be started and stay alive until run() returns; so must the ring. A helper leaves
    // between blocks once filesWaiting is above zero: a file of its own keeps a core busier than a share of this one.
    SharedRead(ReadBuffers& ring, const LanePlan& plan, std::array<DigestSlot, kAlgorithmCount>& digestSlots,
               CancelFlags cancelled, std::atomic<quint64>& bytesDone, const std::atomic<std::size_t>& filesWaiting);

    // The owner: reads to the end (or the first failure, or a cancel), digesting as it goes, then waits until no
    // helper digests a block. Never throws.
    End run(FileReader& reader, QString* reason);
    quint64 bytesRead() const;

    // A helper: digests blocks of any lane until none is left to take. False when there was nothing to do.
    // Never throws.
    bool help();
    bool wantsHelp() const;

private:
    struct Lane
    {
        std::vector<DigestSlot*> digestSlots;
        double cost = 0;
        quint64 next = 0;  // the next block this lane digests
        bool busy = false; // someone is digesting that block now
    };

    enum class Taker
    {
        Owner,
        Helper,
    };

    quint64 slowest() const;
    // The lane whose next block the taker digests, or none free with a block to digest.
    Lane* laneToDigest(Taker taker);
    bool noLaneBusy() const;
    // Some lane has, or will have, a block that nobody digests yet.
    bool workLeftForHelpers() const;
    // Digests the lane's next block outside the lock; the lock is held again on return.
    void digestOneBlock(Lane& lane, std::unique_lock<std::mutex>& lock);
    void stop(End end, QString reason);

    // The owner, ahead of the digests, is woken when half the ring is free rather than for each block: a switch
    // between threads per block costs the slowest digest time.
    std::size_t wakeBatch() const { return std::max<std::size_t>(m_ring.size() / 2, 1); }
    bool ownerHasWork();
    void wakeOwnerIfDue();
    void wakeHelpersIfDue();

    ReadBuffers& m_ring;
    std::vector<Lane> m_lanes;
    const CancelFlags m_cancelled;
    std::atomic<quint64>& m_bytesDone;
    const std::atomic<std::size_t>& m_filesWaiting;

    mutable std::mutex m_mutex;
    std::condition_variable m_ownerWake;
    std::condition_variable m_helperWake;
    bool m_ownerWaiting = false;
    int m_helpers = 0;
    int m_helpersWaiting = 0;
    quint64 m_published = 0;
    quint64 m_freed = 0; // blocks every lane is done with
    quint64 m_bytesRead = 0;
    bool m_ended = false;
    bool m_finished = false; // the owner has let go: nothing more to take
    bool m_stopped = false;
    End m_end = End::Done;
    QString m_reason;
};
