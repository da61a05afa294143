#include "ClosedStreams.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool isClosed(int descriptor)
{
    return ::fcntl(descriptor, F_GETFD) == -1 && errno == EBADF;
}

// /dev/null opened the other way round: reading a descriptor open for writing only (and the reverse) fails with EBADF.
bool hold(int descriptor, int oppositeMode)
{
    const int held = ::open("/dev/null", oppositeMode | O_CLOEXEC);
    if (held < 0) {
        return false;
    }
    if (held != descriptor) {
        ::dup2(held, descriptor);
        ::close(held);
    }
    return true;
}

} // namespace

ClosedStreams ClosedStreams::holdClosedOnes()
{
    ClosedStreams closed;
    // In order: a closed 0 takes the first open, so that a closed 1 is not filled by the holder of 0.
    closed.input = isClosed(STDIN_FILENO) && hold(STDIN_FILENO, O_WRONLY);
    closed.output = isClosed(STDOUT_FILENO) && hold(STDOUT_FILENO, O_RDONLY);
    if (isClosed(STDERR_FILENO)) {
        hold(STDERR_FILENO, O_RDONLY);
    }
    return closed;
}

bool readsStandardInput(const QList<QByteArray>& files)
{
    return files.isEmpty() || files.contains(QByteArray("-"));
}
