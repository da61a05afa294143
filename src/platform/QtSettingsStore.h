#pragma once

#include "SettingsStore.h"

#include <QSettings>

class QtSettingsStore final : public SettingsStore
{
public:
    // The program's own per-user store: on Linux $XDG_CONFIG_HOME/QDX.conf.
    QtSettingsStore();
    // A store in the given file, for tests.
    explicit QtSettingsStore(const QString& iniFile);

    QString read(const QString& section, const QString& key) override;
    bool write(const QString& section, const QString& key, const QString& value) override;

private:
    QSettings m_settings;
};
