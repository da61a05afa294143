#include "FileReader.h"
#include "WriteWatch.h"

#include <cerrno>
#include <fcntl.h>
#include <QCoreApplication>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

// Files of 2 GiB and more must open and stat on 32-bit architectures too.
static_assert(sizeof(off_t) == 8, "build with large-file support (_FILE_OFFSET_BITS=64)");

namespace {

// Newer than the C library's headers here; an older kernel leaves it out of what it answers.
constexpr unsigned kUniqueMountId = 0x4000U; // STATX_MNT_ID_UNIQUE

constexpr unsigned kStatusMask =
    STATX_TYPE | STATX_INO | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_CTIME | STATX_BTIME | kUniqueMountId;

QString systemReason(int errorCode)
{
    return qt_error_string(errorCode);
}

FileTime timeOf(const struct statx_timestamp& stamp)
{
    return FileTime{static_cast<qint64>(stamp.tv_sec), static_cast<qint64>(stamp.tv_nsec)};
}

FileStatus statusOf(const struct statx& info)
{
    FileStatus status;
    status.identity = FileIdentity{makedev(info.stx_dev_major, info.stx_dev_minor), static_cast<quint64>(info.stx_ino),
                                   static_cast<qint64>(info.stx_size), timeOf(info.stx_mtime), timeOf(info.stx_ctime)};
    status.accessed = timeOf(info.stx_atime);
    if (info.stx_mask & STATX_BTIME) {
        status.born = timeOf(info.stx_btime);
    }
    return status;
}

// Where the file is mounted, for what its file system allows to be looked up once per mount; nothing from a kernel
// that does not say.
std::optional<WriteWatch::Mount> mountOf(const struct statx& info)
{
    // Only the unique ID (Linux 6.8): the older one is given again to a later mount.
    if (!(info.stx_mask & kUniqueMountId)) {
        return std::nullopt;
    }
    return WriteWatch::Mount{info.stx_mnt_id, makedev(info.stx_dev_major, info.stx_dev_minor)};
}

// statx on a path (following links) or, with an empty path, on the open descriptor. The descriptor's identity decides
// whether a read stands: a network file system is asked afresh rather than answer from its cache of attributes.
int statusCall(int descriptor, const char* path, struct statx* info)
{
    const int flags = *path ? AT_STATX_SYNC_AS_STAT : AT_STATX_FORCE_SYNC | AT_EMPTY_PATH;
    return ::statx(descriptor, path, flags, kStatusMask, info) == 0 ? 0 : errno;
}

QString writerReason()
{
    return QCoreApplication::translate(
        "RegularFile", "Another program has the file open for writing, so it can change while it is being read.");
}

// A file changed again while waiting out its last change this many times is being written to.
constexpr int kSettlingRounds = 5;

// The open file's identity, taken once a change within the tick of the last one would show: after a change time
// of the tick that is just running, a coarse file system could rewrite the file without moving any time stamp.
// The first look is the caller's: `info`, taken after `before`.
std::optional<FileIdentity> settledIdentity(int descriptor, struct statx info, FileTime before, QString* error,
                                            bool* keepsChanging, bool* lookedAgain)
{
    for (int round = 0; round < kSettlingRounds; ++round) {
        if (round > 0) {
            *lookedAgain = true;
            before = WriteWatch::now();
            if (const int code = statusCall(descriptor, "", &info)) {
                *error = systemReason(code);
                return std::nullopt;
            }
        }
        const std::chrono::nanoseconds wait = WriteWatch::settlingTime(timeOf(info.stx_ctime), before);
        if (wait == std::chrono::nanoseconds::zero()) {
            return statusOf(info).identity;
        }
        std::this_thread::sleep_for(wait);
    }
    *keepsChanging = true;
    *error = QCoreApplication::translate("RegularFile", "The file keeps changing: it changed again while waiting to "
                                                        "read it.");
    return std::nullopt;
}

std::optional<FileIdentity> identityNow(int descriptor, QString* error)
{
    struct statx info
    {
    };
    if (const int code = statusCall(descriptor, "", &info)) {
        *error = systemReason(code);
        return std::nullopt;
    }
    return statusOf(info).identity;
}

class PosixFileReader final : public FileReader
{
public:
    PosixFileReader(int descriptor, FileIdentity identity, WriteWatch::Watch watch)
        : m_descriptor(descriptor), m_identity(identity), m_watch(watch)
    {}
    ~PosixFileReader() override { ::close(m_descriptor); }
    PosixFileReader(const PosixFileReader&) = delete;
    PosixFileReader& operator=(const PosixFileReader&) = delete;

    qint64 read(std::span<std::byte> buffer) override
    {
        // Looked at before every block: a writer waits for the lease from its open() until we give it back.
        if (leaseBroken()) {
            return -1;
        }
        // A short read that reaches the size the file had when opened is its end: asking again would cost every
        // small file a call to the system, and a file grown meanwhile shows a new size when looked at after the read.
        std::size_t filled = 0;
        while (filled < buffer.size()) {
            const qint64 count = readOnce(m_descriptor, buffer.subspan(filled), &m_error);
            if (count <= 0) {
                return count < 0 ? -1 : static_cast<qint64>(filled);
            }
            filled += static_cast<std::size_t>(count);
            m_position += count;
            if (m_position == m_identity.size) {
                break;
            }
        }
        return static_cast<qint64>(filled);
    }

    QString errorString() const override { return m_error; }
    FileIdentity identity() const override { return m_identity; }

    std::optional<FileIdentity> currentIdentity() override
    {
        if (leaseBroken()) {
            return std::nullopt;
        }
        struct statx info
        {
        };
        if (const int code = statusCall(m_descriptor, "", &info)) {
            m_error = systemReason(code);
            return std::nullopt;
        }
        // A writer present at the opening was refused then. One that came since broke the lease, where one is held;
        // otherwise it shows in the change time where the file system stamps a shared mapping's writes; elsewhere
        // (tmpfs) a mapping writes unseen, so it is looked for as long as it has the file open.
        if (!m_watch.held() && !m_watch.laterWritersMoveTheChangeTime() &&
            m_watch.writers() == WriteWatch::Writers::Present) {
            m_error = writerReason();
            m_beingWritten = true;
            return std::nullopt;
        }
        return statusOf(info).identity;
    }

    bool beingWritten() const override { return m_beingWritten; }

private:
    bool leaseBroken()
    {
        if (!m_watch.broken()) {
            return false;
        }
        m_watch.release();
        m_error = writerReason();
        m_beingWritten = true;
        return true;
    }

    int m_descriptor;
    FileIdentity m_identity;
    WriteWatch::Watch m_watch;
    qint64 m_position = 0;
    bool m_beingWritten = false;
    QString m_error;
};

} // namespace

namespace RegularFile {

std::optional<FileStatus> status(const QByteArray& nativePath, QString* error, int* systemError)
{
    int ignored = 0;
    int& code = systemError ? *systemError : ignored;
    struct statx info
    {
    };
    if (nativePath.isEmpty()) {
        code = ENOENT;
        *error = systemReason(code);
        return std::nullopt;
    }
    if ((code = statusCall(AT_FDCWD, nativePath.constData(), &info))) {
        *error = systemReason(code);
        return std::nullopt;
    }
    if (!S_ISREG(info.stx_mode)) {
        code = S_ISDIR(info.stx_mode) ? EISDIR : 0;
        *error = RegularFile::refusalFor(info.stx_mode);
        return std::nullopt;
    }
    return statusOf(info);
}

std::optional<OpenedFile> adopt(int descriptor, unsigned* type)
{
    struct statx info
    {
    };
    const FileTime looked = WriteWatch::now();
    if (const int code = statusCall(descriptor, "", &info)) {
        ::close(descriptor);
        return OpenedFile{nullptr, systemReason(code), code};
    }
    if (!S_ISREG(info.stx_mode)) {
        *type = info.stx_mode & S_IFMT;
        return std::nullopt;
    }
    const FileStatus first = statusOf(info);
    WriteWatch::Watch watch(descriptor, mountOf(info),
                            WriteWatch::isOwnWriter(first.identity.device, first.identity.inode));
    // Local file systems read a regular file alike with or without O_NONBLOCK; others are told to block. Of the
    // flags it was opened with, F_SETFL can change O_NONBLOCK alone: no need to read them back first.
    if (!watch.usable()) {
        ::fcntl(descriptor, F_SETFL, 0);
    }
    if (watch.hold() == WriteWatch::Writers::Present) {
        ::close(descriptor);
        return OpenedFile{nullptr, writerReason(), 0, true, true};
    }
    QString error;
    bool keepsChanging = false;
    bool lookedAgain = false;
    // With the lease held, no program can have the file open for writing until it breaks: the file is as it is
    // now until the end of the read, and nothing need be waited out. A write that ended between the first look and
    // the lease may share the tick of the change time then seen, so the identity is taken again after the lease.
    const std::optional<FileIdentity> identity =
        !watch.held() ? settledIdentity(descriptor, info, looked, &error, &keepsChanging, &lookedAgain)
        : WriteWatch::settlingTime(first.identity.changed, looked) == std::chrono::nanoseconds::zero()
            ? std::optional(first.identity)
            : identityNow(descriptor, &error);
    if (!identity) {
        ::close(descriptor);
        return OpenedFile{nullptr, error, 0, true, keepsChanging};
    }
    // A write stamps the change time when it begins, not as it copies: a writer that came while we waited may have
    // stamped before the identity was taken and still be copying. Writers are looked for after the identity that
    // stands, so that any later one moves the change time.
    if (!watch.held() && lookedAgain && watch.writers() == WriteWatch::Writers::Present) {
        ::close(descriptor);
        return OpenedFile{nullptr, writerReason(), 0, true, true};
    }
    // Larger read-ahead pays for large files only; for a small one the advice costs more than the read.
    constexpr qint64 kAdvisedFrom = qint64{4} << 20;
    if (identity->size >= kAdvisedFrom) {
        ::posix_fadvise(descriptor, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    return OpenedFile{std::make_unique<PosixFileReader>(descriptor, *identity, watch), QString()};
}

OpenedFile open(const QByteArray& nativePath)
{
    QString error;
    int code = 0;
    if (!status(nativePath, &error, &code)) {
        return {nullptr, error, code};
    }
    // O_NONBLOCK: should the path have been swapped for a FIFO since the check, open() must not hang on it.
    const int descriptor = openToRead(nativePath.constData());
    if (descriptor < 0) {
        code = errno;
        return {nullptr, systemReason(code), code};
    }
    unsigned type = 0;
    if (std::optional<OpenedFile> opened = adopt(descriptor, &type)) {
        return std::move(*opened);
    }
    ::close(descriptor);
    return {nullptr, RegularFile::refusalFor(type), S_ISDIR(type) ? EISDIR : 0};
}

} // namespace RegularFile

QString RegularFile::refusalFor(unsigned mode)
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
