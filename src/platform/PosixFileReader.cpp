#include "FileReader.h"

#include <cerrno>
#include <fcntl.h>
#include <QCoreApplication>
#include <QFile>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemReason(int errorCode)
{
    return qt_error_string(errorCode);
}

QString refusalFor(mode_t mode)
{
    if (S_ISDIR(mode)) {
        return QCoreApplication::translate("RegularFile", "It is a folder, not a file.");
    }
    if (S_ISFIFO(mode)) {
        return QCoreApplication::translate("RegularFile", "It is a named pipe (FIFO), not a regular file.");
    }
    if (S_ISSOCK(mode)) {
        return QCoreApplication::translate("RegularFile", "It is a socket, not a regular file.");
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return QCoreApplication::translate("RegularFile", "It is a device, not a regular file.");
    }
    return QCoreApplication::translate("RegularFile", "It is not a regular file.");
}

FileIdentity identityOf(const struct stat& info)
{
    return FileIdentity{static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino),
                        static_cast<qint64>(info.st_size),
                        static_cast<qint64>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

class PosixFileReader final : public FileReader
{
public:
    PosixFileReader(int descriptor, FileIdentity identity) : m_descriptor(descriptor), m_identity(identity) {}
    ~PosixFileReader() override { ::close(m_descriptor); }
    PosixFileReader(const PosixFileReader&) = delete;
    PosixFileReader& operator=(const PosixFileReader&) = delete;

    qint64 read(std::span<std::byte> buffer) override
    {
        std::size_t filled = 0;
        while (filled < buffer.size()) {
            const ssize_t count = ::read(m_descriptor, buffer.data() + filled, buffer.size() - filled);
            if (count == 0) {
                break;
            }
            if (count < 0) {
                if (errno == EINTR) {
                    continue;
                }
                m_error = systemReason(errno);
                return -1;
            }
            filled += static_cast<std::size_t>(count);
        }
        return static_cast<qint64>(filled);
    }

    QString errorString() const override { return m_error; }
    FileIdentity identity() const override { return m_identity; }

private:
    int m_descriptor;
    FileIdentity m_identity;
    QString m_error;
};

} // namespace

std::optional<QByteArray> nativePathFor(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    // A NUL would silently cut the path short, and a lossy encoding would name some other file.
    if (native.contains('\0') || QFile::decodeName(native) != path) {
        return std::nullopt;
    }
    return native;
}

namespace RegularFile {

std::optional<FileIdentity> identify(const QByteArray& nativePath, QString* error)
{
    struct stat info
    {
    };
    if (::stat(nativePath.constData(), &info) != 0) {
        *error = systemReason(errno);
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
        *error = refusalFor(info.st_mode);
        return std::nullopt;
    }
    return identityOf(info);
}

OpenedFile open(const QByteArray& nativePath)
{
    QString error;
    if (!identify(nativePath, &error)) {
        return {nullptr, error};
    }
    // O_NONBLOCK: should the path have been swapped for a FIFO since the check, open() must not hang on it.
    const int descriptor = ::open(nativePath.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (descriptor < 0) {
        return {nullptr, systemReason(errno)};
    }
    struct stat info
    {
    };
    if (::fstat(descriptor, &info) != 0) {
        const int code = errno;
        ::close(descriptor);
        return {nullptr, systemReason(code)};
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(descriptor);
        return {nullptr, refusalFor(info.st_mode)};
    }
    ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    ::posix_fadvise(descriptor, 0, 0, POSIX_FADV_SEQUENTIAL);
    return {std::make_unique<PosixFileReader>(descriptor, identityOf(info)), QString()};
}

} // namespace RegularFile
