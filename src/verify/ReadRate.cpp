#include "ReadRate.h"

void ReadRate::restart(Milliseconds now, quint64 bytes)
{
    m_samples.clear();
    m_samples.push_back({now, bytes});
    m_lastActivity = now;
    m_progressed = false;
}

void ReadRate::sample(Milliseconds now, quint64 bytes)
{
    if (m_samples.empty()) {
        restart(now, bytes);
        return;
    }
    if (bytes > m_samples.back().bytes) {
        m_lastActivity = now;
        m_progressed = true;
    } else if (!m_progressed) {
        // Not reading yet: the rate starts at the last look before the first byte, not at the run's start.
        m_samples.back().at = now;
        return;
    }
    m_samples.push_back({now, std::max(bytes, m_samples.back().bytes)});
    // One sample at or before the window's start stays, as the anchor the rate is measured from.
    while (m_samples.size() > 2 && m_samples[1].at <= now - kWindow) {
        m_samples.pop_front();
    }
}

void ReadRate::noteActivity(Milliseconds now)
{
    m_lastActivity = now;
    if (!m_progressed && !m_samples.empty()) {
        m_samples.back().at = now;
    }
}

double ReadRate::bytesPerSecond() const
{
    if (m_samples.size() < 2) {
        return 0;
    }
    const Sample& first = m_samples.front();
    const Sample& last = m_samples.back();
    const Milliseconds span = last.at - first.at;
    if (span < kShortestSpan) {
        return 0;
    }
    return static_cast<double>(last.bytes - first.bytes) * 1000.0 / static_cast<double>(span.count());
}

std::optional<ReadRate::Milliseconds> ReadRate::stalledFor(Milliseconds now) const
{
    const Milliseconds still = now - m_lastActivity;
    return still >= kStall ? std::optional(still) : std::nullopt;
}
