#include "QtSettingsStore.h"

#include <QFileInfo>
#include <QStandardPaths>

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
    if (!m_settings) {
        return false;
    }
    m_settings->setValue(section + u'/' + key, value);
    // Written through at once: the process may end without running destructors, and a store that cannot be
    // written (a read-only file or folder) shows it only here. A malformed line elsewhere in the file leaves a
    // format error from reading it, which is no failure to write.
    m_settings->sync();
    return m_settings->status() != QSettings::AccessError;
}
