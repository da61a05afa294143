#include "TaskbarProgressPolicy.h"

#include "Clock.h"
#include "LauncherProgress.h"

#include <algorithm>

TaskbarProgressPolicy::TaskbarProgressPolicy(LauncherProgress& launcher, const Clock& clock)
    : m_launcher(launcher), m_clock(clock)
{}

TaskbarProgressPolicy::~TaskbarProgressPolicy()
{
    end();
}

void TaskbarProgressPolicy::begin(quint64 totalBytes)
{
    end();
    m_started = m_clock.now();
    m_total = totalBytes;
}

void TaskbarProgressPolicy::advance(quint64 bytesDone)
{
    if (!m_started || m_total == 0) {
        return;
    }
    // A file that grew while read would go past the end of the bar.
    const quint64 done = std::min(bytesDone, m_total);
    const QDateTime now = m_clock.now();
    if (!m_shown) {
        // All read: the end is moments away, and a bar shown now would only flash.
        if (m_started->msecsTo(now) < kShowAfterMs || done == m_total) {
            return;
        }
    } else if (m_lastUpdate.msecsTo(now) < kUpdateEveryMs || done == m_lastDone) {
        return;
    }
    m_launcher.show(static_cast<double>(done) / static_cast<double>(m_total));
    m_shown = true;
    m_lastUpdate = now;
    m_lastDone = done;
}

void TaskbarProgressPolicy::end()
{
    if (m_shown) {
        m_launcher.hide();
    }
    m_started.reset();
    m_total = 0;
    m_shown = false;
    m_lastDone = 0;
}
