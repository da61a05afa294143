#include "QtFileDialog.h"

#include <QFileDialog>

QUrl QtFileDialog::chooseFile(QWidget* owner, const QString& title)
{
    // No folder, name or filter of ours: every file is listed, starting where the dialog itself sees fit. Qt's
    // static call uses the desktop's own dialog where the platform theme provides one; local files only.
    return QFileDialog::getOpenFileUrl(owner, title, QUrl(), QString(), nullptr, {}, {QStringLiteral("file")});
}
