#include "WriteWatch.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <vector>

namespace WriteWatch {

namespace {

// File systems whose leases see every opening on this computer, so that a refused read lease means a writer. On
// network file systems a lease can be refused for want of a delegation or oplock, and writers elsewhere are unseen;
// on an overlay, a writer working in the layers' own folders is unseen.
constexpr std::array<long, 7> kLeasesSeeAllWriters = {
    EXT4_SUPER_MAGIC, XFS_SUPER_MAGIC,   BTRFS_SUPER_MAGIC, TMPFS_MAGIC,
    F2FS_SUPER_MAGIC, MSDOS_SUPER_MAGIC, EXFAT_SUPER_MAGIC,
};

// Of those, the ones known to stamp the change time when a shared mapping first writes to a page. tmpfs and the FAT
// family are not counted on to (tmpfs has long had no hook for it), so a writer there is looked for as long as it
// may have the file open.
constexpr std::array<long, 4> kMappedWritesStamped = {
    EXT4_SUPER_MAGIC,
    XFS_SUPER_MAGIC,
    BTRFS_SUPER_MAGIC,
    F2FS_SUPER_MAGIC,
};

// Looked at once: only a program's start sets it (see ignoreLeaseSignals).
bool sigioIgnored()
{
    static const bool ignored = [] {
        struct sigaction current
        {
        };
        return ::sigaction(SIGIO, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
    }();
    return ignored;
}

template <std::size_t N> bool isOneOf(long type, const std::array<long, N>& types)
{
    return std::find(types.begin(), types.end(), type) != types.end();
}

// The file system's type, 0 when it cannot be told. Asking costs a call per file, and a mount's type does not
// change while it stays mounted, so the last answer is kept on each thread.
long fileSystemType(int descriptor, const std::optional<Mount>& mount)
{
    thread_local std::optional<std::pair<Mount, long>> last;
    if (mount && last && last->first == *mount) {
        return last->second;
    }
    struct statfs info
    {
    };
    if (::fstatfs(descriptor, &info) != 0) {
        return 0;
    }
    const long type = static_cast<long>(info.f_type);
    if (mount) {
        last.emplace(*mount, type);
    }
    return type;
}

constexpr qint64 kNanosecondsPerSecond = 1'000'000'000;

qint64 nanosecondsOf(const FileTime& time)
{
    return time.seconds * kNanosecondsPerSecond + time.nanoseconds;
}

} // namespace

void ignoreLeaseSignals()
{
    std::signal(SIGIO, SIG_IGN);
}

Writers writersOf(int descriptor)
{
    return Watch(descriptor).writers();
}

namespace {

// Set once at the program's start, before any thread of ours reads it.
std::vector<std::pair<quint64, quint64>> g_ownWriters;

} // namespace

void discountOwnWriters()
{
    // The descriptors open now; without /proc, the three standard ones.
    std::vector<int> descriptors;
    if (DIR* folder = ::opendir("/proc/self/fd")) {
        const int own = ::dirfd(folder);
        while (const dirent* entry = ::readdir(folder)) {
            char* end = nullptr;
            const long number = std::strtol(entry->d_name, &end, 10);
            if (end != entry->d_name && *end == '\0' && number != own) {
                descriptors.push_back(static_cast<int>(number));
            }
        }
        ::closedir(folder);
    } else {
        descriptors = {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO};
    }
    for (const int descriptor : descriptors) {
        struct stat info
        {
        };
        const int flags = ::fcntl(descriptor, F_GETFL);
        if (flags >= 0 && (flags & O_ACCMODE) != O_RDONLY && ::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode)) {
            g_ownWriters.emplace_back(static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino));
        }
    }
}

bool isOwnWriter(quint64 device, quint64 inode)
{
    return std::find(g_ownWriters.begin(), g_ownWriters.end(), std::pair{device, inode}) != g_ownWriters.end();
}

Watch::Watch(int descriptor, std::optional<Mount> mount, bool ownOutput) : m_descriptor(descriptor)
{
    if (ownOutput) {
        return;
    }
    const long type = fileSystemType(descriptor, mount);
    // A writer opening the file in the moment the lease is held breaks it, and the kernel signals us: with SIGURG,
    // whose default is to be ignored, instead of SIGIO, whose default ends the process. A process that ignores
    // SIGIO is spared the call for every file.
    m_usable = isOneOf(type, kLeasesSeeAllWriters) && (sigioIgnored() || ::fcntl(descriptor, F_SETSIG, SIGURG) == 0);
    m_laterWritersStamped = m_usable && isOneOf(type, kMappedWritesStamped);
}

Writers Watch::writers() const
{
    if (!m_usable) {
        return Writers::Unknown;
    }
    if (::fcntl(m_descriptor, F_SETLEASE, F_RDLCK) == 0) {
        ::fcntl(m_descriptor, F_SETLEASE, F_UNLCK);
        return Writers::None;
    }
    // EACCES: not the owner and no CAP_LEASE; EINVAL: leases are turned off.
    return errno == EAGAIN ? Writers::Present : Writers::Unknown;
}

Writers Watch::hold()
{
    if (!m_usable) {
        return Writers::Unknown;
    }
    if (::fcntl(m_descriptor, F_SETLEASE, F_RDLCK) == 0) {
        m_held = true;
        return Writers::None;
    }
    return errno == EAGAIN ? Writers::Present : Writers::Unknown;
}

bool Watch::broken()
{
    // While a writer breaks it, the lease reads as what it is to become (unlocked); once the break time is out, it
    // is gone. Either way no longer a read lease.
    return m_held && ::fcntl(m_descriptor, F_GETLEASE) != F_RDLCK;
}

void Watch::release()
{
    if (m_held) {
        ::fcntl(m_descriptor, F_SETLEASE, F_UNLCK);
        m_held = false;
    }
}

std::chrono::nanoseconds settlingTime(const FileTime& changed, const FileTime& now)
{
    // The tick: a change time with nanoseconds is no coarser than the power of ten that divides them; one without
    // may come from a file system that keeps two seconds (FAT).
    qint64 tick = 2 * kNanosecondsPerSecond;
    if (changed.nanoseconds != 0) {
        tick = 1;
        for (qint64 rest = changed.nanoseconds; rest % 10 == 0; rest /= 10) {
            tick *= 10;
        }
    }
    // The kernel stamps changes from a clock that lags the one we read by up to a timer tick (10 ms at 100 Hz).
    constexpr qint64 kClockLag = 20'000'000;
    const qint64 since = nanosecondsOf(now) - nanosecondsOf(changed);
    const qint64 needed = tick + kClockLag;
    // A change time ahead of our clock by more than that belongs to a clock other than ours (a network server's, or
    // ours before it was set back): waiting would not help.
    if (since >= needed || since < -needed) {
        return std::chrono::nanoseconds::zero();
    }
    return std::chrono::nanoseconds(needed - since);
}

FileTime now()
{
    struct timespec time
    {
    };
    ::clock_gettime(CLOCK_REALTIME, &time);
    return FileTime{static_cast<qint64>(time.tv_sec), static_cast<qint64>(time.tv_nsec)};
}

} // namespace WriteWatch
