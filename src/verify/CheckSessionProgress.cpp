// The progress of a run: the bar's bytes, speed and time left, and the row being read.
#include "CheckSession.h"

#include <algorithm>

void CheckSession::tick()
{
    if (m_run) {
        const quint64 done = m_run->bytesDone();
        m_rate.sample(m_options.clock->now(), done);
        const auto percentOf = [](quint64 part, quint64 whole) {
            return whole == 0 ? 0 : static_cast<int>(std::min<quint64>(99, part * 100 / whole));
        };
        if (m_mode == Mode::List || m_mode == Mode::Files) {
            // Rows answered as they were found (a file with nothing published beside it) are passed over.
            while (m_nextUnanswered < m_model.size() && isSettled(m_model.row(m_nextUnanswered).state)) {
                ++m_nextUnanswered;
            }
            if (m_nextUnanswered < m_model.size()) {
                const CheckRow& next = m_model.row(m_nextUnanswered);
                // The sizes of rows answered are needed no more: a million of them are not held to the end.
                while (!m_sizes.empty() && m_sizesFrom < m_nextUnanswered) {
                    m_sizes.pop_front();
                    ++m_sizesFrom;
                }
                const auto known = static_cast<std::size_t>(m_nextUnanswered - m_sizesFrom);
                const qint64 size = known < m_sizes.size() ? m_sizes[known] : 0;
                const int percent = percentOf(done > m_bytesAnswered ? done - m_bytesAnswered : 0,
                                              static_cast<quint64>(std::max<qint64>(size, 0)));
                if (next.state == CheckState::Waiting ||
                    (next.state == CheckState::Checking && next.percent != percent)) {
                    m_model.update(m_nextUnanswered, m_nextUnanswered, [percent](CheckRow& row, qsizetype) {
                        row.state = CheckState::Checking;
                        row.percent = percent;
                    });
                }
            }
        } else {
            const int percent = percentOf(done, m_totalBytes);
            m_model.update(0, m_model.size() - 1, [percent](CheckRow& row, qsizetype) {
                if (!isSettled(row.state)) {
                    row.state = CheckState::Checking;
                    row.percent = percent;
                }
            });
        }
    }
    emit progressChanged();
}

CheckProgress CheckSession::progress() const
{
    CheckProgress progress;
    progress.totalBytes = m_totalBytes;
    if (!m_run) {
        progress.bytesDone = m_bytesWhenCancelled.value_or(m_totalBytes);
        progress.secondsLeft = m_bytesWhenCancelled ? -1 : 0; // a cancelled run has no time left to tell
        return progress;
    }
    progress.bytesDone = m_run->bytesDone();
    if (m_totalBytes > progress.bytesDone) {
        if (const std::optional<ReadRate::Milliseconds> still = m_rate.stalledFor(m_options.clock->now())) {
            progress.stalledSeconds = std::chrono::duration_cast<std::chrono::seconds>(*still).count();
            return progress; // no speed and no time left to tell
        }
    }
    progress.bytesPerSecond = m_rate.bytesPerSecond();
    if (progress.bytesPerSecond > 0 && m_totalBytes >= progress.bytesDone) {
        progress.secondsLeft =
            static_cast<qint64>(static_cast<double>(m_totalBytes - progress.bytesDone) / progress.bytesPerSecond);
    }
    return progress;
}
