#include "FileReader.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

FileIdentity identityOf(const struct stat& info)
{
    return FileIdentity{static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino),
                        static_cast<qint64>(info.st_size),
                        FileTime{static_cast<qint64>(info.st_mtim.tv_sec), static_cast<qint64>(info.st_mtim.tv_nsec)},
                        FileTime{static_cast<qint64>(info.st_ctim.tv_sec), static_cast<qint64>(info.st_ctim.tv_nsec)}};
}

OpenedFile failure(int code)
{
    return {nullptr, qt_error_string(code), code, true};
}

// Reads a descriptor to its end, whatever it is: a pipe, a terminal, a device or a redirected file.
class StreamReader final : public FileReader
{
public:
    StreamReader(int descriptor, FileIdentity identity) : m_descriptor(descriptor), m_identity(identity) {}
    ~StreamReader() override { ::close(m_descriptor); }
    StreamReader(const StreamReader&) = delete;
    StreamReader& operator=(const StreamReader&) = delete;

    qint64 read(std::span<std::byte> buffer) override { return readFully(m_descriptor, buffer, &m_error); }

    QString errorString() const override { return m_error; }
    FileIdentity identity() const override { return m_identity; }

    std::optional<FileIdentity> currentIdentity() override
    {
        struct stat info
        {
        };
        if (::fstat(m_descriptor, &info) != 0) {
            m_error = qt_error_string(errno);
            return std::nullopt;
        }
        return identityOf(info);
    }

private:
    int m_descriptor;
    FileIdentity m_identity;
    QString m_error;
};

// Waits, as a blocking open would, until a writer has come to a FIFO opened without waiting: it is then readable,
// or its writer has gone. The descriptor stays open meanwhile, so a writer it let through finds a reader.
bool waitForWriter(int descriptor)
{
    struct pollfd watched
    {
        descriptor, POLLIN, 0
    };
    for (;;) {
        const int ready = ::poll(&watched, 1, -1);
        if (ready > 0) {
            return true;
        }
        if (ready < 0 && errno != EINTR) {
            return false;
        }
    }
}

// Takes an open descriptor over: a folder fails as reading it would, anything else is read as a stream.
OpenedFile adopt(int descriptor)
{
    struct stat info
    {
    };
    if (::fstat(descriptor, &info) != 0) {
        const int code = errno;
        ::close(descriptor);
        return failure(code);
    }
    if (S_ISDIR(info.st_mode)) {
        ::close(descriptor);
        return failure(EISDIR);
    }
    const bool regular = S_ISREG(info.st_mode);
    return {std::make_unique<StreamReader>(descriptor, identityOf(info)), QString(), 0, regular};
}

} // namespace

namespace AnyFile {

OpenedFile open(const QByteArray& nativePath)
{
    // Opened before it is looked at, which spares every file a walk of its path and leaves no moment in which the
    // path could be swapped. O_NONBLOCK keeps a FIFO from hanging the open; it is waited for below instead.
    const int descriptor = openToRead(nativePath.constData());
    if (descriptor < 0) {
        return failure(errno);
    }
    unsigned type = 0;
    if (std::optional<OpenedFile> regular = RegularFile::adopt(descriptor, &type)) {
        return std::move(*regular);
    }
    if (S_ISFIFO(type) && !waitForWriter(descriptor)) {
        const int code = errno;
        ::close(descriptor);
        return failure(code);
    }
    // FIFOs, devices and the like are read as they stand, blocking as they would have been opened.
    ::fcntl(descriptor, F_SETFL, 0);
    return adopt(descriptor);
}

OpenedFile standardInput()
{
    // A copy of the descriptor: closing it after the read leaves standard input itself open.
    const int descriptor = ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);
    if (descriptor < 0) {
        return failure(errno);
    }
    return adopt(descriptor);
}

} // namespace AnyFile
