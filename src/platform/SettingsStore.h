#pragma once

#include <QString>

// The per-user settings store, addressed by section and key, holding text.
class SettingsStore
{
public:
    virtual ~SettingsStore() = default;
    // The empty text when the setting is absent or cannot be read.
    virtual QString read(const QString& section, const QString& key) = 0;
    // True only once the value is on disk and reads back: a store that cannot be written says so.
    virtual bool write(const QString& section, const QString& key, const QString& value) = 0;
};
