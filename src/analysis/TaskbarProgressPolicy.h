#pragma once

#include <optional>
#include <QDateTime>
#include <QtGlobal>

class Clock;
class LauncherProgress;

// When the taskbar shows the progress of one read, and how often it hears of it. Plain logic: the caller reports
// the read's start, its bytes and its end, and this decides what the launcher is told.
class TaskbarProgressPolicy
{
public:
    // Reads that end sooner never show: most files are done before anyone could glance at the taskbar, and a bar
    // flashing up for each would be noise. A time rather than a size, because the same size is instant from the
    // page cache and slow from a network share.
    static constexpr qint64 kShowAfterMs = 1000;
    // At most four updates a second: smooth enough for a bar, and no flood of signals for the desktop.
    static constexpr qint64 kUpdateEveryMs = 250;

    TaskbarProgressPolicy(LauncherProgress& launcher, const Clock& clock);
    // A bar still shown goes with its owner.
    ~TaskbarProgressPolicy();
    TaskbarProgressPolicy(const TaskbarProgressPolicy&) = delete;
    TaskbarProgressPolicy& operator=(const TaskbarProgressPolicy&) = delete;

    // A read of totalBytes starts; any earlier one has ended. 0: a size the file system does not know, so no
    // fraction to show.
    void begin(quint64 totalBytes);
    void advance(quint64 bytesDone);
    // The read finished, failed or was abandoned: a bar shown is hidden.
    void end();

    bool isShown() const { return m_shown; }

private:
    LauncherProgress& m_launcher;
    const Clock& m_clock;
    std::optional<QDateTime> m_started;
    quint64 m_total = 0;
    bool m_shown = false;
    QDateTime m_lastUpdate;
    quint64 m_lastDone = 0;
};
