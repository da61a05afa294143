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
    m_open.erase(turn);
    m_changed.notify_all();
}
