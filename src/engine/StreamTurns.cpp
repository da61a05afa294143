#include "StreamTurns.h"

quint64 StreamTurns::add()
{
    std::lock_guard lock(m_mutex);
    m_open.emplace(m_next, std::nullopt);
    return m_next++;
}

bool StreamTurns::mustWait(quint64 turn, const Stream& stream) const
{
    for (auto each = m_open.begin(); each != m_open.end() && each->first < turn; ++each) {
        if (!each->second || *each->second == stream) {
            return true;
        }
    }
    return false;
}

bool StreamTurns::await(quint64 turn, std::optional<Stream> stream)
{
    std::unique_lock lock(m_mutex);
    const auto entry = m_open.find(turn);
    if (entry != m_open.end()) {
        entry->second = stream;
    }
    m_changed.notify_all();
    if (!stream || !mustWait(turn, *stream)) {
        return false;
    }
    m_changed.wait(lock, [&] { return !mustWait(turn, *stream); });
    return true;
}

void StreamTurns::finish(quint64 turn)
{
    std::lock_guard lock(m_mutex);
    const auto entry = m_open.find(turn);
    if (entry == m_open.end()) {
        return;
    }
    if (entry->second && *entry->second) {
        const Stream& stream = **entry->second;
        m_ended[{stream.device, stream.inode}] = ++m_clock;
    }
    m_open.erase(entry);
    m_changed.notify_all();
}

quint64 StreamTurns::moment()
{
    std::lock_guard lock(m_mutex);
    return m_clock;
}

bool StreamTurns::endedSince(const Stream& stream, quint64 moment)
{
    std::lock_guard lock(m_mutex);
    const auto ended = m_ended.find({stream.device, stream.inode});
    return ended != m_ended.end() && ended->second > moment;
}
