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
    // The last look failed because another program has the file open for writing, not because the system failed.
    virtual bool beingWritten() const { return false; }
};

struct OpenedFile
{
    std::unique_ptr<FileReader> reader; // null when the file was refused or could not be opened
    QString error;
    // The system's error number behind error, for callers that act on the kind of failure: EISDIR for a folder,
    // 0 for any other file that is not regular.
    int systemError = 0;
    // False for pipes, devices and terminals: their times move as they are written, so their identity says nothing.
    bool checkIdentity = true;
    // Refused because another program has the file open for writing, or it kept changing while we waited.
    bool beingWritten = false;
};

// Fills as much of buffer from the descriptor as it still holds, through short reads and interruptions; 0 at the end,
// -1 on failure with the system's reason in error.
qint64 readFully(int descriptor, std::span<std::byte> buffer, QString* error);
// One read, through interruptions: what the system gave, 0 at the end, -1 on failure.
qint64 readOnce(int descriptor, std::span<std::byte> buffer, QString* error);
// Opens for reading with O_NONBLOCK (a FIFO does not hang the opening), waiting as a blocking opening would for
// another program's write lease to be given up. -1 with errno on failure.
int openToRead(const char* nativePath);

namespace RegularFile {

// Follows symbolic links. Anything but a regular file is refused with a reason and never opened, so a FIFO
// cannot block and a device cannot stream forever.
// systemError, when given, receives the error number as OpenedFile::systemError does.
std::optional<FileStatus> status(const QByteArray& nativePath, QString* error, int* systemError = nullptr);

// Refuses a file that another program has open for writing, where that can be told. Reading begins only once a
// change within the tick of the file's last change would move its time stamps (at most about two seconds, on FAT).
OpenedFile open(const QByteArray& nativePath);

// Goes on as open() does from a descriptor opened with O_NONBLOCK, for callers that open first and look after.
// Anything but a regular file gives nothing, its type (S_IFMT bits) in *type and the descriptor left open; otherwise
// the descriptor belongs to the result, closed on refusal.
std::optional<OpenedFile> adopt(int descriptor, unsigned* type);

// Why a file of this type (its S_IFMT bits) is not read: "It is a folder, not a file."
QString refusalFor(unsigned type);

// A folder, links followed.
bool isFolder(const QByteArray& nativePath);

// Nothing is there, links followed: no such entry, a dangling link, or a file where a folder should be on the way.
bool namesNothing(const QByteArray& nativePath);

} // namespace RegularFile

// What command-line tools read: any file the system lets us read, FIFOs and devices included, and standard input.
namespace AnyFile {

// A regular file is opened as RegularFile::open opens it, with its identity; anything else is opened as it stands,
// waiting for a FIFO's writer as the tools do. A folder fails with EISDIR.
OpenedFile open(const QByteArray& nativePath);

// Standard input from where it stands; reading it leaves descriptor 0 open, so a second reading finds its end.
OpenedFile standardInput();

} // namespace AnyFile
