#pragma once

#include "FileReader.h"

#include <chrono>
#include <optional>

// Evidence, beyond the file's size and time stamps, that an open file is not being changed.
namespace WriteWatch {

enum class Writers
{
    None,    // no program on this computer has the file open for writing or mapped for writing
    Present, // some program has
    Unknown, // cannot be told: not the file's owner, no lease support, or a network file system
};

// For a program's start, before any file is watched: the signal a broken lease sends is then ignored as a whole,
// which spares a call per file.
void ignoreLeaseSignals();

// Whether any program has the file open for writing, a shared writable mapping included. Holds nothing and blocks
// nobody: a read lease is taken and given back at once.
Writers writersOf(int descriptor);

// One mount of a file system: its unique mount ID, never given to another mount, and the device number its files
// report.
struct Mount
{
    quint64 id = 0;
    quint64 device = 0;
    bool operator==(const Mount&) const = default;
};

// The same question asked of one open descriptor again and again (at open, during and after a read): what its file
// system allows is looked up once, and once per mount on each thread when the mount is given.
class Watch
{
public:
    // ownOutput: the file is one this program writes to itself (see isOwnWriter): its leases would be refused for
    // our own writing, so it is read as it stands, as if no lease could be had.
    explicit Watch(int descriptor, std::optional<Mount> mount = std::nullopt, bool ownOutput = false);
    // Asks and lets go at once: holds nothing and blocks nobody.
    Writers writers() const;
    // Asks and, when there is no writer, keeps the read lease: until it is given back, a program that opens the file
    // for writing (or truncates it) breaks it and waits. None means the lease is now held.
    Writers hold();
    bool held() const { return m_held; }
    // The lease held is being broken by a writer, or is gone: the read must end, and the lease is given back at once
    // so that the writer waits no longer.
    bool broken();
    void release();
    // Whether the file lies on a file system of this computer whose leases see every writer.
    bool usable() const { return m_usable; }
    // Whether a writer that arrives once the file is open shows in its change time, through a shared mapping too:
    // asking for writers again after the first look then tells nothing the time stamps do not.
    bool laterWritersMoveTheChangeTime() const { return m_laterWritersStamped; }

private:
    int m_descriptor;
    bool m_usable = false;
    bool m_laterWritersStamped = false;
    bool m_held = false;
};

// Tells every later Watch that the regular files open for writing on the descriptors this program started with
// (standard output or error sent to a file, a descriptor a shell left open with 3>>file) are written by us, not by
// another program. For a command line's start, before any thread is started: it looks at every descriptor.
void discountOwnWriters();
bool isOwnWriter(quint64 device, quint64 inode);

// How long to wait before reading so that any later change of the file gets a change time other than `changed`.
// A file system with coarse time stamps gives every change within one tick the same change time; once the tick of
// the last change has passed, a new change must move it. Zero for a file changed long enough ago.
std::chrono::nanoseconds settlingTime(const FileTime& changed, const FileTime& now);

FileTime now();

} // namespace WriteWatch
