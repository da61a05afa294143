#include "QtSettingsStore.h"

#include <cerrno>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// QSettings reads its whole file when it is made, on the window's thread before the window shows: a FIFO there would
// block it for good and a huge file would take seconds and gigabytes. Such a file is left alone, read as empty and
// never written. A settings file of ours holds one short line.
constexpr qint64 kLargestSettingsFile = 64 * 1024;

bool isSoundSettingsFile(const QString& path)
{
    const QFileInfo file(path);
    return !file.exists() || (file.isFile() && file.size() <= kLargestSettingsFile);
}

// A write takes Qt's lock file beside the store, and when one is there already Qt reads it to tell whether its
// writer still lives, and waits while it cannot tell: a FIFO there blocks that read for good, a link may lead to a
// device that never ends, a folder or a lock it cannot read keeps it waiting. Only what a writer of ours leaves may
// stand there: nothing, or a short regular file that can be read. A lock of ours holds three short lines.
constexpr qint64 kLargestLockFile = 4 * 1024;

bool isSoundLockFile(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat entry
    {
    };
    if (::lstat(name.constData(), &entry) != 0) {
        return errno == ENOENT;
    }
    return S_ISREG(entry.st_mode) && entry.st_size <= kLargestLockFile && ::access(name.constData(), R_OK) == 0;
}

} // namespace

QtSettingsStore::QtSettingsStore()
{
    // Where QSettings keeps the native per-user store of organisation "QDX" on Linux.
    const QString path =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/QDX.conf");
    if (isSoundSettingsFile(path)) {
        m_settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("QDX"));
    }
}

QtSettingsStore::QtSettingsStore(const QString& iniFile)
{
    if (isSoundSettingsFile(iniFile)) {
        m_settings = std::make_unique<QSettings>(iniFile, QSettings::IniFormat);
    }
}

QtSettingsStore::~QtSettingsStore() = default;

QString QtSettingsStore::read(const QString& section, const QString& key)
{
    return m_settings ? m_settings->value(section + u'/' + key).toString() : QString();
}

bool QtSettingsStore::write(const QString& section, const QString& key, const QString& value)
{
    // Checked again just before: the write reads the file anew under the lock, and either may have changed since.
    const QString file = m_settings ? m_settings->fileName() : QString();
    if (!m_settings || !isSoundSettingsFile(file) || !isSoundLockFile(file + QStringLiteral(".lock"))) {
        return false;
    }
    m_settings->setValue(section + u'/' + key, value);
    // Written through at once: the process may end without running destructors, and a store that cannot be
    // written (a read-only file or folder) shows it only here. A malformed line elsewhere in the file leaves a
    // format error from reading it, which is no failure to write.
    m_settings->sync();
    return m_settings->status() != QSettings::AccessError;
}
