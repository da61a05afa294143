#include "StandardOutput.h"

#include "Messages.h"

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

// Lines are handed to a thread of their own that writes whatever has gathered, in one write: while files come fast
// many lines leave together, and a line never waits for the next file, however slow.
class Writer
{
public:
    ~Writer()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

    void add(const QByteArray& bytes)
    {
        {
            const std::lock_guard lock(m_mutex);
            if (!m_thread.joinable()) {
                m_thread = std::thread([this] { run(); });
            }
            m_pending += bytes;
        }
        m_wake.notify_one();
    }

    // Returns once everything handed over has been given to the system.
    void drain()
    {
        std::unique_lock lock(m_mutex);
        m_drained.wait(lock, [this] { return m_pending.isEmpty() && !m_writing; });
    }

private:
    void run()
    {
        static const bool toTerminal = ::isatty(STDOUT_FILENO) != 0;
        QByteArray out;
        std::unique_lock lock(m_mutex);
        while (true) {
            m_wake.wait(lock, [this] { return m_stop || !m_pending.isEmpty(); });
            if (m_pending.isEmpty()) {
                return;
            }
            out.swap(m_pending);
            m_pending.resize(0); // keeps the other buffer's room
            m_writing = true;
            lock.unlock();
            if (toTerminal) {
                clearProgressLine(); // the progress line may be on the same terminal
            }
            std::fwrite(out.constData(), 1, static_cast<std::size_t>(out.size()), stdout);
            std::fflush(stdout);
            out.resize(0);
            lock.lock();
            m_writing = false;
            if (m_pending.isEmpty()) {
                m_drained.notify_all();
            }
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_drained;
    QByteArray m_pending;
    bool m_writing = false;
    bool m_stop = false;
    std::thread m_thread;
};

Writer& writer()
{
    static Writer instance;
    return instance;
}

} // namespace

namespace StandardOutput {

void write(const QByteArray& bytes)
{
    writer().add(bytes);
}

void drain()
{
    writer().drain();
}

bool flush()
{
    drain();
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

bool failed()
{
    drain();
    return std::ferror(stdout) != 0;
}

} // namespace StandardOutput
