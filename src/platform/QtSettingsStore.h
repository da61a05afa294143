#pragma once

#include "SettingsStore.h"

#include <QString>

// The program's settings file, read anew at each read and edited line by line (IniLines): a write changes the one
// line of its key and keeps every other byte of the file, which belongs to the user. Writers of ours, in any
// process, take turns through a lock file beside it.
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
    std::unique_ptr<Hold> hold() override;

private:
    QString m_path;
    bool m_held = false; // a hold of this store lives: a write must not wait for its own lock
};
