#include "DBusLauncherProgress.h"

#include <QDBusMessage>
#include <QVariantMap>

namespace {

// Listeners match on the interface and the member alone; any object path will do.
const QString kObjectPath = QStringLiteral("/com/keswin/hash");
const QString kInterface = QStringLiteral("com.canonical.Unity.LauncherEntry");

} // namespace

DBusLauncherProgress::DBusLauncherProgress(QString appUri, QDBusConnection connection)
    : m_appUri(std::move(appUri)), m_connection(std::move(connection))
{}

void DBusLauncherProgress::show(double fraction)
{
    send(fraction, true);
}

void DBusLauncherProgress::hide()
{
    send(0.0, false);
}

void DBusLauncherProgress::send(double fraction, bool visible)
{
    if (!m_connection.isConnected()) {
        return;
    }
    QDBusMessage update = QDBusMessage::createSignal(kObjectPath, kInterface, QStringLiteral("Update"));
    update << m_appUri
           << QVariantMap{{QStringLiteral("progress"), qBound(0.0, fraction, 1.0)},
                          {QStringLiteral("progress-visible"), visible}};
    m_unflushed = m_connection.send(update) || m_unflushed;
}

void DBusLauncherProgress::flush(int timeoutMs)
{
    if (!m_unflushed || !m_connection.isConnected()) {
        return;
    }
    m_unflushed = false;
    // Messages leave one connection in order: once the bus has answered a call sent after them, they have gone.
    const QDBusMessage ping =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
    m_connection.call(ping, QDBus::Block, timeoutMs);
}
