#include "SettingsLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What a lock of ours may be: a short regular file. An older writer of ours left three short lines in it.
constexpr off_t kLargestLockFile = 4 * 1024;

bool isSoundLock(const struct stat& entry)
{
    return S_ISREG(entry.st_mode) && entry.st_size <= kLargestLockFile;
}

// A waiter may get the lock on a file its holder has just removed; it must then try again on the one now there.
constexpr int kAttempts = 64;

} // namespace

std::unique_ptr<SettingsLock> SettingsLock::take(const QByteArray& lockPath)
{
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        struct stat entry
        {
        };
        if (::lstat(lockPath.constData(), &entry) == 0 ? !isSoundLock(entry) : errno != ENOENT) {
            return nullptr;
        }
        // No link followed, and a FIFO that took the path meanwhile does not block the open.
        const int descriptor =
            ::open(lockPath.constData(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        if (descriptor < 0) {
            return nullptr;
        }
        struct stat opened
        {
        };
        int locked = -1;
        if (::fstat(descriptor, &opened) == 0 && isSoundLock(opened)) {
            do {
                locked = ::flock(descriptor, LOCK_EX);
            } while (locked != 0 && errno == EINTR);
        } else {
            ::close(descriptor);
            return nullptr;
        }
        struct stat now
        {
        };
        if (locked == 0 && ::lstat(lockPath.constData(), &now) == 0 && now.st_dev == opened.st_dev &&
            now.st_ino == opened.st_ino) {
            return std::unique_ptr<SettingsLock>(new SettingsLock(lockPath, descriptor));
        }
        ::close(descriptor);
        if (locked != 0) {
            return nullptr;
        }
    }
    return nullptr;
}

// Removed before it is let go, so that the next holder, finding another file or none at the path, tries again.
SettingsLock::~SettingsLock()
{
    ::unlink(m_path.constData());
    ::close(m_descriptor);
}
