#pragma once

#include "LauncherProgress.h"

#include <QDBusConnection>
#include <QString>

// The launcher entry signal that docks and task managers listen for on the session bus. Signals are queued to the
// bus's own thread, so the caller never waits; without a connected bus nothing is sent.
class DBusLauncherProgress final : public LauncherProgress
{
public:
    // appUri: "application://" and the desktop entry's file name, by which the desktop finds the entry.
    explicit DBusLauncherProgress(QString appUri, QDBusConnection connection = QDBusConnection::sessionBus());

    void show(double fraction) override;
    void hide() override;

    // Waits, at most timeoutMs, until what was sent has left the process: a program about to end at once would
    // otherwise take its last signal, and with it the hiding of the bar, along.
    void flush(int timeoutMs);

private:
    void send(double fraction, bool visible);

    const QString m_appUri;
    QDBusConnection m_connection;
    bool m_unflushed = false;
};
