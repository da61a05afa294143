#include "QtWebLauncher.h"

#include <QDesktopServices>
#include <QUrl>

bool QtWebLauncher::open(const QString& address)
{
    // Qt starts the desktop's opener detached and does not wait for it.
    return QDesktopServices::openUrl(QUrl(address, QUrl::StrictMode));
}
