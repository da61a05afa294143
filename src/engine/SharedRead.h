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

// One file read once by the worker that owns it, its digests grouped in lanes. The owner reads and digests every
// lane nobody else holds; a worker with nothing else to do may take a lane over and digest it to the end, so a large
// file is spread over idle cores while a worker busy with a file of its own never waits for anyone.
class SharedRead
{
public:
    enum class End
    {
        Done,
        Failed,
        Cancelled,
    };

    // The digestSlots must be started and stay alive until run() returns; so must the ring.
    SharedRead(ReadBuffers& ring, const LanePlan& plan, std::array<DigestSlot, kAlgorithmCount>& digestSlots,
               const std::atomic<bool>& cancelled, std::atomic<quint64>& bytesDone);

    // The owner: reads to the end (or the first failure, or a cancel), then waits until no helper holds a lane.
    // Never throws.
    End run(FileReader& reader, QString* reason);
    quint64 bytesRead() const;

    // A helper: takes the costliest lane nobody holds and digests it to the end. False when none was left to take.
    // Never throws.
    bool help();
    bool wantsHelp() const;

private:
    struct Lane
    {
        std::vector<DigestSlot*> digestSlots;
        double cost = 0;
        quint64 next = 0;     // the next block this lane digests
        bool helped = false;  // a helper holds it to the end
        bool busy = false;    // someone is digesting a block of it now
        bool waiting = false; // its helper waits for blocks
    };

    quint64 slowest() const;
    bool hasWork(const Lane& lane) const { return lane.next < m_published || !m_ended; }
    Lane* laneForOwner();
    bool noLaneHeld() const;
    // The owner, ahead of the slowest lane, is woken when half the ring is free, not for each block: a switch between
    // threads per block costs the slowest lane time.
    std::size_t wakeBatch() const { return std::max<std::size_t>(m_ring.size() / 2, 1); }
    bool ownerHasWork();
    void wakeOwnerIfDue();
    bool helperHasWork(const Lane& lane) const;
    void wakeHelpersIfDue();
    // Digests the lane's next block outside the lock; the lock is held again on return.
    void digestOneBlock(Lane& lane, std::unique_lock<std::mutex>& lock);
    void stop(End end, QString reason);

    ReadBuffers& m_ring;
    std::vector<Lane> m_lanes;
    const std::atomic<bool>& m_cancelled;
    std::atomic<quint64>& m_bytesDone;

    mutable std::mutex m_mutex;
    std::condition_variable m_ownerWake;
    std::condition_variable m_helperWake;
    bool m_ownerWaiting = false;
    quint64 m_published = 0;
    quint64 m_freed = 0; // blocks every lane is done with
    quint64 m_bytesRead = 0;
    bool m_ended = false;
    bool m_finished = false; // the owner has let go: nothing more to take
    bool m_stopped = false;
    End m_end = End::Done;
    QString m_reason;
};
