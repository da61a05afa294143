#include "SharedRead.h"

#include <algorithm>
#include <exception>
#include <QCoreApplication>

namespace {

QString unexpectedFailure(const char* what)
{
    return QCoreApplication::translate("DigestBatch", "Unexpected failure while digesting: %1")
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
                       CancelFlags cancelled, std::atomic<quint64>& bytesDone,
                       const std::atomic<std::size_t>& filesWaiting)
    : m_ring(ring), m_cancelled(cancelled), m_bytesDone(bytesDone), m_filesWaiting(filesWaiting)
{
    for (const auto& group : plan) {
        Lane& lane = m_lanes.emplace_back();
        for (HashAlgorithm algorithm : group) {
            lane.digestSlots.push_back(&digestSlots[indexOf(algorithm)]);
            lane.cost += algorithmInfo(algorithm).relativeCost;
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

SharedRead::Lane* SharedRead::laneToDigest(Taker taker)
{
    // Helpers take the lane furthest behind, the slowest digest as a rule, and keep it. The owner, who also reads,
    // takes the lane furthest ahead while helpers are there: were it to take the slowest digest, nothing would be read
    // meanwhile and the helpers would run out of blocks.
    const bool ahead = taker == Taker::Owner && m_helpers > 0;
    Lane* chosen = nullptr;
    for (Lane& lane : m_lanes) {
        if (lane.busy || lane.next >= m_published) {
            continue;
        }
        const bool behind =
            !chosen || lane.next < chosen->next || (lane.next == chosen->next && lane.cost > chosen->cost);
        if (!chosen || behind != ahead) {
            chosen = &lane;
        }
    }
    return chosen;
}

bool SharedRead::noLaneBusy() const
{
    return std::none_of(m_lanes.begin(), m_lanes.end(), [](const Lane& lane) { return lane.busy; });
}

bool SharedRead::workLeftForHelpers() const
{
    if (m_stopped || m_finished) {
        return false;
    }
    if (!m_ended) {
        return true;
    }
    return std::any_of(m_lanes.begin(), m_lanes.end(),
                       [this](const Lane& lane) { return lane.next + (lane.busy ? 1 : 0) < m_published; });
}

bool SharedRead::ownerHasWork()
{
    if (m_finished) {
        return noLaneBusy();
    }
    if (m_stopped || laneToDigest(Taker::Owner)) {
        return true;
    }
    if (m_ended) {
        return slowest() == m_published;
    }
    return m_published + wakeBatch() <= slowest() + m_ring.size();
}

void SharedRead::wakeOwnerIfDue()
{
    if (m_ownerWaiting && ownerHasWork()) {
        m_ownerWaiting = false;
        m_ownerWake.notify_one();
    }
}

void SharedRead::wakeHelpersIfDue()
{
    if (m_helpersWaiting > 0 && (laneToDigest(Taker::Helper) || !workLeftForHelpers())) {
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
        // Only the one who marked the lane busy touches its slots.
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
    wakeHelpersIfDue();
}

SharedRead::End SharedRead::run(FileReader& reader, QString* reason)
{
    std::unique_lock lock(m_mutex);
    while (!m_stopped) {
        if (m_cancelled.raised()) {
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
        if (Lane* lane = laneToDigest(Taker::Owner)) {
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
    while (!noLaneBusy()) {
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
    return m_lanes.size() > 1 && workLeftForHelpers();
}

bool SharedRead::help()
{
    std::unique_lock lock(m_mutex);
    if (m_lanes.size() < 2 || !workLeftForHelpers()) {
        return false;
    }
    ++m_helpers;
    while (!m_stopped && !m_finished && m_filesWaiting.load(std::memory_order_relaxed) == 0) {
        if (Lane* lane = laneToDigest(Taker::Helper)) {
            digestOneBlock(*lane, lock);
            continue;
        }
        if (!workLeftForHelpers()) {
            break;
        }
        ++m_helpersWaiting;
        m_helperWake.wait(lock, [this] { return laneToDigest(Taker::Helper) || !workLeftForHelpers(); });
        --m_helpersWaiting;
    }
    --m_helpers;
    wakeOwnerIfDue();
    return true;
}
