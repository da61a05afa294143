#include "FileReader.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// The type of what a path names, links followed; 0 or the error number.
int typeCall(const char* path, struct statx* info)
{
    return ::statx(AT_FDCWD, path, AT_STATX_SYNC_AS_STAT, STATX_TYPE, info) == 0 ? 0 : errno;
}

} // namespace

qint64 readOnce(int descriptor, std::span<std::byte> buffer, QString* error)
{
    for (;;) {
        const ssize_t count = ::read(descriptor, buffer.data(), buffer.size());
        if (count >= 0) {
            return static_cast<qint64>(count);
        }
        if (errno != EINTR) {
            *error = qt_error_string(errno);
            return -1;
        }
    }
}

qint64 readFully(int descriptor, std::span<std::byte> buffer, QString* error)
{
    std::size_t filled = 0;
    while (filled < buffer.size()) {
        const qint64 count = readOnce(descriptor, buffer.subspan(filled), error);
        if (count <= 0) {
            return count < 0 ? -1 : static_cast<qint64>(filled);
        }
        filled += static_cast<std::size_t>(count);
    }
    return static_cast<qint64>(filled);
}

int openToRead(const char* nativePath)
{
    // Another program's write lease (a file server's oplock or delegation) makes a non-blocking opening fail while
    // the lease is broken for us. A blocking opening would wait for the holder to yield, at most the system's
    // lease-break time; so do we, asking again: a break under way is not begun anew, and a FIFO cannot hang us.
    using namespace std::chrono_literals;
    for (;;) {
        const int descriptor = ::open(nativePath, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (descriptor >= 0 || errno != EWOULDBLOCK) {
            return descriptor;
        }
        std::this_thread::sleep_for(10ms);
    }
}

namespace RegularFile {

bool isFolder(const QByteArray& nativePath)
{
    struct statx info
    {
    };
    return !nativePath.isEmpty() && typeCall(nativePath.constData(), &info) == 0 && S_ISDIR(info.stx_mode);
}

bool namesNothing(const QByteArray& nativePath)
{
    struct statx info
    {
    };
    if (nativePath.isEmpty()) {
        return true;
    }
    const int code = typeCall(nativePath.constData(), &info);
    return code == ENOENT || code == ENOTDIR;
}

} // namespace RegularFile
