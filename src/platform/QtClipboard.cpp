#include "QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>

void QtClipboard::setText(const QString& text)
{
    // The clipboard proper only: the selection that a middle click pastes is the user's own business. Setting the
    // text replaces every format an earlier owner offered, in one change: clearing first would leave the clipboard
    // empty for a moment, which clipboard managers are quick to refill. Qt keeps serving the text to other programs
    // for as long as this one runs, and never waits on them here.
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        clipboard->setText(text, QClipboard::Clipboard);
    }
}
