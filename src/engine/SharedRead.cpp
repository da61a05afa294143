#include "SharedRead.h"

#include <algorithm>
#include <exception>
#include <QCoreApplication>

namespace {

QString unexpectedFailure(const char* what)
{
    return QCoreApplication::translate("ParallelDigest", "Unexpected failure while digesting: %1")
        .arg(QString::fromLocal8Bit(what));
}

} // namespace

ReadBuffers::ReadBuffers(std::size_t blockSize, std::size_t blocks)
    : m_blockSize(std::max<std::size_t>(blockSize, 1)), m_lengths(std::max<std::size_t>(blocks, 1), 0)
{
    for (std::size_t i = 0; i < m_lengths.size(); ++i) {
        m_blocks.push_back(std::make_unique_for_overwrite<std::byte[]>(m_blockSize));
    }
}

std::span<std::byte> ReadBuffers::block(quint64 sequence)
{
    return {m_blocks[sequence % m_blocks.size()].get(), m_blockSize};
}

SharedRead::SharedRead(ReadBuffers& ring, const LanePlan& plan, std::array<DigestSlot, kAlgorithmCount>& digestSlots,
                       const std::atomic<bool>& cancelled, std::atomic<quint64>& bytesDone)
    : m_ring(ring), m_cancelled(cancelled), m_bytesDone(bytesDone)
{
    const DigestCosts costs = plan.size() > 1 ? measuredDigestCosts([&] {
        AlgorithmSet all;
        for (const auto& group : plan) {
            for (HashAlgorithm algorithm : group) {
                all.insert(algorithm);
            }
        }
        return all;
    }())
                                              : DigestCosts{};
    for (const auto& group : plan) {
        Lane& lane = m_lanes.emplace_back();
        for (HashAlgorithm algorithm : group) {
            lane.digestSlots.push_back(&digestSlots[indexOf(algorithm)]);
            lane.cost += costs[indexOf(algorithm)];
        }
    }
}

quint64 SharedRead::slowest() const
{
    quint64 least = m_published;
    for (const Lane& lane : m_lanes) {
        least = std::min(least, lane.next);
    }
    return least;
}

SharedRead::Lane* SharedRead::laneForOwner()
{
    Lane* chosen = nullptr;
    for (Lane& lane : m_lanes) {
        if (!lane.helped && !lane.busy && lane.next < m_published && (!chosen || lane.next < chosen->next)) {
            chosen = &lane;
        }
    }
    return chosen;
}

bool SharedRead::noLaneHeld() const
{
    return std::none_of(m_lanes.begin(), m_lanes.end(), [](const Lane& lane) { return lane.helped || lane.busy; });
}

bool SharedRead::ownerHasWork()
{
    if (m_stopped) {
        return true;
    }
    if (m_finished) {
        return noLaneHeld();
    }
    if (m_ended) {
        return slowest() == m_published || laneForOwner();
    }
    return m_published + wakeBatch() <= slowest() + m_ring.size() || laneForOwner();
}

void SharedRead::wakeOwnerIfDue()
{
    if (m_ownerWaiting && ownerHasWork()) {
        m_ownerWaiting = false;
        m_ownerWake.notify_one();
    }
}

bool SharedRead::helperHasWork(const Lane& lane) const
{
    // No batch here: the helper holds the slowest lane more often than not, and must never wait longer than it has to.
    return m_stopped || (!lane.busy && (m_ended || lane.next < m_published));
}

void SharedRead::wakeHelpersIfDue()
{
    if (std::any_of(m_lanes.begin(), m_lanes.end(),
                    [this](const Lane& lane) { return lane.waiting && helperHasWork(lane); })) {
        m_helperWake.notify_all();
    }
}

void SharedRead::stop(End end, QString reason)
{
    if (!m_stopped) {
        m_stopped = true;
        m_end = end;
        m_reason = std::move(reason);
    }
    m_ownerWaiting = false;
    m_ownerWake.notify_one();
    m_helperWake.notify_all();
}

void SharedRead::digestOneBlock(Lane& lane, std::unique_lock<std::mutex>& lock)
{
    lane.busy = true;
    const quint64 sequence = lane.next;
    const std::span<const std::byte> data = m_ring.block(sequence).first(m_ring.length(sequence));
    lock.unlock();
    const char* failure = nullptr;
    try {
        // Only the one who marked the lane busy touches its digestSlots.
        for (DigestSlot* slot : lane.digestSlots) {
            slot->add(data);
        }
    } catch (const std::exception& error) {
        failure = error.what();
    } catch (...) {
        failure = "unknown";
    }
    lock.lock();
    lane.busy = false;
    ++lane.next;
    if (failure) {
        stop(End::Failed, unexpectedFailure(failure));
    }
    for (const quint64 freedTo = slowest(); m_freed < freedTo; ++m_freed) {
        m_bytesDone.fetch_add(m_ring.length(m_freed), std::memory_order_relaxed);
    }
    wakeOwnerIfDue();
    if (lane.helped) {
        wakeHelpersIfDue(); // its helper may have been waiting for the owner to finish this block
    }
}

SharedRead::End SharedRead::run(FileReader& reader, QString* reason)
{
    std::unique_lock lock(m_mutex);
    while (!m_stopped) {
        if (m_cancelled.load(std::memory_order_relaxed)) {
            stop(End::Cancelled, QString());
            break;
        }
        bool progressed = false;
        if (!m_ended && m_published < slowest() + m_ring.size()) {
            // Every lane is past this block's last use, so it is ours alone until published.
            const quint64 sequence = m_published;
            const std::span<std::byte> block = m_ring.block(sequence);
            lock.unlock();
            qint64 count = -1;
            QString failure;
            try {
                count = reader.read(block);
                if (count < 0) {
                    failure = reader.errorString();
                }
            } catch (const std::exception& error) {
                failure = unexpectedFailure(error.what());
            } catch (...) {
                failure = unexpectedFailure("unknown");
            }
            lock.lock();
            if (count < 0) {
                stop(End::Failed, failure);
                break;
            }
            if (count > 0) {
                m_ring.length(sequence) = static_cast<std::size_t>(count);
                m_bytesRead += static_cast<quint64>(count);
                ++m_published;
            }
            // A reader fills the block unless the file holds no more: a short block is the last, and asking again
            // would cost every small file a call to the system. A file that grows meanwhile has changed.
            m_ended = static_cast<std::size_t>(count) < block.size();
            wakeHelpersIfDue();
            progressed = true;
        }
        if (Lane* lane = laneForOwner()) {
            digestOneBlock(*lane, lock);
            progressed = true;
        }
        if (m_ended && slowest() == m_published) {
            break;
        }
        if (!progressed) {
            m_ownerWaiting = true;
            m_ownerWake.wait(lock, [this] { return !m_ownerWaiting; });
        }
    }
    m_finished = true;
    m_helperWake.notify_all();
    while (!noLaneHeld()) {
        m_ownerWaiting = true;
        m_ownerWake.wait(lock, [this] { return !m_ownerWaiting; });
    }
    *reason = m_reason;
    return m_stopped ? m_end : End::Done;
}

quint64 SharedRead::bytesRead() const
{
    std::lock_guard lock(m_mutex);
    return m_bytesRead;
}

bool SharedRead::wantsHelp() const
{
    std::lock_guard lock(m_mutex);
    return !m_finished && !m_stopped && std::any_of(m_lanes.begin(), m_lanes.end(), [this](const Lane& lane) {
        return !lane.helped && hasWork(lane);
    });
}

bool SharedRead::help()
{
    std::unique_lock lock(m_mutex);
    if (m_finished || m_stopped) {
        return false;
    }
    Lane* taken = nullptr;
    for (Lane& lane : m_lanes) {
        if (!lane.helped && hasWork(lane) && (!taken || lane.cost > taken->cost)) {
            taken = &lane;
        }
    }
    if (!taken) {
        return false;
    }
    taken->helped = true;
    for (;;) {
        if (!m_stopped && !taken->busy && taken->next < m_published) {
            digestOneBlock(*taken, lock);
            continue;
        }
        if (m_stopped || (!taken->busy && m_ended)) {
            break;
        }
        taken->waiting = true;
        m_helperWake.wait(lock, [&] { return helperHasWork(*taken); });
        taken->waiting = false;
    }
    taken->helped = false;
    wakeOwnerIfDue();
    return true;
}
