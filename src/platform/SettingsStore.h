#pragma once

#include <memory>
#include <QString>

// The per-user settings store, addressed by section and key, holding text.
class SettingsStore
{
public:
    // While one lives, no other holder of the same store, in this process or another, reads or writes it. It goes
    // before its store does.
    class Hold
    {
    public:
        virtual ~Hold() = default;
    };

    virtual ~SettingsStore() = default;
    // The empty text when the setting is absent or cannot be read.
    virtual QString read(const QString& section, const QString& key) = 0;
    // True only once the value is on disk and reads back: a store that cannot be written says so.
    virtual bool write(const QString& section, const QString& key, const QString& value) = 0;
    // Taken before a read whose value decides a write, and kept until after that write, so that two programs never
    // both act on what only one should. Nothing when it cannot be had. May block: never on a window's thread. A
    // store no other process shares needs no lock.
    virtual std::unique_ptr<Hold> hold() { return std::make_unique<Hold>(); }
};
