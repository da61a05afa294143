#pragma once

#include "SettingsStore.h"

#include <memory>
#include <QSettings>

class QtSettingsStore final : public SettingsStore
{
public:
    // The program's own per-user store: on Linux $XDG_CONFIG_HOME/QDX.conf.
    QtSettingsStore();
    // A store in the given file, for tests.
    explicit QtSettingsStore(const QString& iniFile);
    ~QtSettingsStore() override;

    QString read(const QString& section, const QString& key) override;
    bool write(const QString& section, const QString& key, const QString& value) override;

private:
    std::unique_ptr<QSettings> m_settings; // none when the file there is no settings file (a FIFO, a huge file)
};
