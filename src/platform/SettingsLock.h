#pragma once

#include <memory>
#include <QByteArray>

// An exclusive lock on a lock file beside a settings file, held across processes (flock) until this object goes,
// when the lock file is removed. Taking it may wait as long as another holder, or the file system, takes: never on
// a window's thread.
class SettingsLock
{
public:
    // Nothing when the lock cannot be had, or when what stands at the lock's path is not a lock of ours: anything
    // but nothing or a short readable regular file (a FIFO, a folder, a link, a device) is left alone.
    static std::unique_ptr<SettingsLock> take(const QByteArray& lockPath);
    ~SettingsLock();

    SettingsLock(const SettingsLock&) = delete;
    SettingsLock& operator=(const SettingsLock&) = delete;

private:
    SettingsLock(QByteArray path, int descriptor) : m_path(std::move(path)), m_descriptor(descriptor) {}
    QByteArray m_path;
    int m_descriptor;
};
