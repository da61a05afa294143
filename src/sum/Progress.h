#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <QtGlobal>
#include <thread>

// One line on standard error, rewritten in place a few times a second: bytes done, the total when known, the speed.
// Meant for a terminal only; the caller decides. The line is cleared when the progress ends.
class Progress
{
public:
    // bytesDone is called from the progress thread; total 0 when unknown.
    Progress(std::function<quint64()> bytesDone, quint64 total);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

private:
    void run();

    std::function<quint64()> m_bytesDone;
    quint64 m_total;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_thread;
};

// "1.5 GiB", "640 KiB", "12 B".
QByteArray byteCountText(quint64 bytes);
