#include "Progress.h"

#include "Messages.h"

#include <chrono>
#include <cstdio>
#include <QByteArray>

QByteArray byteCountText(quint64 bytes)
{
    static const char* const units[] = {"B", "KiB", "MiB", "GiB", "TiB", "PiB"};
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1024 && unit < 5) {
        value /= 1024;
        ++unit;
    }
    return (unit == 0 ? QByteArray::number(bytes) : QByteArray::number(value, 'f', 1)) + ' ' + units[unit];
}

Progress::Progress(std::function<quint64()> bytesDone, quint64 total)
    : m_bytesDone(std::move(bytesDone)), m_total(total), m_thread([this] { run(); })
{}

Progress::~Progress()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void Progress::run()
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    std::unique_lock lock(m_mutex);
    while (!m_wake.wait_for(lock, std::chrono::milliseconds(250), [this] { return m_stop; })) {
        const quint64 done = m_bytesDone();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        QByteArray line = byteCountText(done);
        if (m_total > 0) {
            line += " of " + byteCountText(m_total) + " (" +
                    QByteArray::number(100.0 * static_cast<double>(done) / static_cast<double>(m_total), 'f', 0) + "%)";
        }
        line += ", " + byteCountText(static_cast<quint64>(static_cast<double>(done) / std::max(seconds, 0.001))) + "/s";
        showProgressLine(line);
    }
    clearProgressLine();
}
