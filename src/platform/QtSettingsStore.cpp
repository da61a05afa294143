#include "QtSettingsStore.h"

QtSettingsStore::QtSettingsStore() : m_settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("QDX")) {}

QtSettingsStore::QtSettingsStore(const QString& iniFile) : m_settings(iniFile, QSettings::IniFormat) {}

QString QtSettingsStore::read(const QString& section, const QString& key)
{
    return m_settings.value(section + u'/' + key).toString();
}

bool QtSettingsStore::write(const QString& section, const QString& key, const QString& value)
{
    m_settings.setValue(section + u'/' + key, value);
    // Written through at once: the process may end without running destructors, and a store that cannot be
    // written (a read-only file or folder) shows it only here. A malformed line elsewhere in the file leaves a
    // format error from reading it, which is no failure to write.
    m_settings.sync();
    return m_settings.status() != QSettings::AccessError;
}
