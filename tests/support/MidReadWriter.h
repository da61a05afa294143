#pragma once

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <QFile>
#include <QString>
#include <thread>
#include <unistd.h>

// A writer that changes a file while a reader of ours reads it. Where the reader holds a read lease, an opening for
// writing waits until the reader gives the lease back, which it does at its next block: the work then goes on in a
// thread of its own, started once a non-blocking opening has begun breaking the lease. Elsewhere it is done at once.
class MidReadWriter
{
public:
    MidReadWriter() = default;
    ~MidReadWriter() { join(); }
    MidReadWriter(const MidReadWriter&) = delete;
    MidReadWriter& operator=(const MidReadWriter&) = delete;

    // work gets the descriptor opened with flags and closes it.
    void start(const QString& path, int flags, std::function<void(int)> work)
    {
        const QByteArray native = QFile::encodeName(path);
        const int descriptor = ::open(native.constData(), flags | O_NONBLOCK | O_CLOEXEC);
        if (descriptor >= 0) {
            ::fcntl(descriptor, F_SETFL, flags & O_APPEND);
            work(descriptor);
            return;
        }
        if (errno != EWOULDBLOCK) {
            return;
        }
        m_waiting = std::thread([native, flags, work = std::move(work)] {
            const int late = ::open(native.constData(), flags | O_CLOEXEC);
            if (late >= 0) {
                work(late);
            }
        });
    }

    void join()
    {
        if (m_waiting.joinable()) {
            m_waiting.join();
        }
    }

    // Whether a reader of ours can hold a read lease on the file: then a writer that opens it mid-read is seen by
    // the lease it breaks, whatever it does to the time stamps.
    static bool leaseCanBeHeld(const QString& path)
    {
        const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        const bool held = descriptor >= 0 && ::fcntl(descriptor, F_SETLEASE, F_RDLCK) == 0;
        if (descriptor >= 0) {
            ::close(descriptor);
        }
        return held;
    }

    static QString writerReason()
    {
        return QStringLiteral("Another program has the file open for writing, so it can change while it is being "
                              "read.");
    }

private:
    std::thread m_waiting;
};
