#pragma once

#include "NativePath.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <span>

// A time stamp as the file system keeps it. Compared field by field: nanoseconds since 1970 overflow 64 bits in 2262.
struct FileTime
{
    qint64 seconds = 0;
    qint64 nanoseconds = 0;

    friend bool operator==(const FileTime&, const FileTime&) = default;
};

// What tells one version of a file from another without reading it. The change time moves on every write and on
// every change of the other fields, even when the modification time is put back afterwards.
struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    FileTime modified;
    FileTime changed;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// One look at a regular file: its identity and the times shown beside it.
struct FileStatus
{
    FileIdentity identity;
    FileTime accessed;
    std::optional<FileTime> born; // not every file system keeps a birth time
};

// Sequential reads from one open regular file.
class FileReader
{
public:
    virtual ~FileReader() = default;

    // Fills as much of buffer as the file still holds; 0 at the end, -1 on failure (see errorString()).
    virtual qint64 read(std::span<std::byte> buffer) = 0;
    virtual QString errorString() const = 0;
    // The identity of the open file when it was opened.
    virtual FileIdentity identity() const = 0;
    // The identity of the open file now; nothing on failure (see errorString()), which includes another program
    // having the file open for writing where that can be told: its writes through a shared mapping move no time stamp.
    virtual std::optional<FileIdentity> currentIdentity() = 0;
};

struct OpenedFile
{
    std::unique_ptr<FileReader> reader; // null when the file was refused or could not be opened
    QString error;
};

namespace RegularFile {

// Follows symbolic links. Anything but a regular file is refused with a reason and never opened, so a FIFO
// cannot block and a device cannot stream forever.
std::optional<FileStatus> status(const QByteArray& nativePath, QString* error);

// Refuses a file that another program has open for writing, where that can be told. Reading begins only once a
// change within the tick of the file's last change would move its time stamps (at most about two seconds, on FAT).
OpenedFile open(const QByteArray& nativePath);

// A folder, links followed.
bool isFolder(const QByteArray& nativePath);

// Nothing is there, links followed: no such entry, a dangling link, or a file where a folder should be on the way.
bool namesNothing(const QByteArray& nativePath);

} // namespace RegularFile
