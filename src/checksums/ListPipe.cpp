#include "ListPipe.h"

#include "FileReader.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <QFile>
#include <sys/stat.h>
#include <unistd.h>

ListPipe::ListPipe(int fd) : m_fd(fd)
{
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

ListPipe::~ListPipe()
{
    ::close(m_fd);
}

bool ListPipe::waitForWriter(const std::function<bool()>& stop)
{
    // Opened without waiting, the pipe reports nothing until a writer has written or has come and gone; a read now
    // would return 0 as if the list were empty.
    for (;;) {
        pollfd watched{m_fd, POLLIN, 0};
        const int ready = ::poll(&watched, 1, 100);
        if (ready > 0) {
            break;
        }
        if ((ready < 0 && errno != EINTR) || (stop && stop())) {
            return false;
        }
    }
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
    return true;
}

qint64 ListPipe::readData(char* data, qint64 most)
{
    for (;;) {
        const ssize_t got = ::read(m_fd, data, static_cast<std::size_t>(most));
        if (got >= 0) {
            return got; // 0 once every writer has gone: the list's end
        }
        if (errno == EAGAIN) {
            // Still without a writer (never waited for): wait for one rather than end the list early.
            if (!waitForWriter({})) {
                return -1;
            }
            continue;
        }
        if (errno != EINTR) {
            setErrorString(qt_error_string(errno));
            return -1;
        }
    }
}

std::unique_ptr<QIODevice> openListToRead(const QByteArray& path, QString* error)
{
    // Without waiting, so that a FIFO with no writer yet cannot hold the opening thread; a terminal is refused below
    // and must not become the controlling one meanwhile.
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        *error = qt_error_string(errno);
        return nullptr;
    }
    struct stat status = {};
    if (::fstat(fd, &status) != 0) {
        *error = qt_error_string(errno);
        ::close(fd);
        return nullptr;
    }
    if (S_ISFIFO(status.st_mode)) {
        return std::make_unique<ListPipe>(fd);
    }
    if (!S_ISREG(status.st_mode)) {
        *error = RegularFile::refusalFor(status.st_mode);
        ::close(fd);
        return nullptr;
    }
    // Reads of a regular file never return early for want of data; the flag only kept the open from waiting.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::ReadOnly, QFile::AutoCloseHandle)) {
        *error = file->errorString();
        ::close(fd);
        return nullptr;
    }
    return file;
}

bool namesStandardInput(const QByteArray& path)
{
    return path == "/dev/stdin" || path == "/dev/fd/0" || path == "/proc/self/fd/0";
}
