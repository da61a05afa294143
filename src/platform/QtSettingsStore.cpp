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
    // written (a read-only file or folder) shows it only here.
    m_settings.sync();
    if (m_settings.status() != QSettings::NoError) {
        return false;
    }
    QSettings reread(m_settings.fileName(), m_settings.format());
    return reread.value(section + u'/' + key).toString() == value;
}
