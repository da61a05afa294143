#include "QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>

void QtClipboard::setText(const QString& text)
{
    // The clipboard proper only: the selection that a middle click pastes is the user's own business. Cleared first
    // so that no other format of an earlier owner survives beside the text. Qt keeps serving the text to other
    // programs for as long as this one runs, and never waits on them here.
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) {
        return;
    }
    clipboard->clear(QClipboard::Clipboard);
    clipboard->setText(text, QClipboard::Clipboard);
}
