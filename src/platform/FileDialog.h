#pragma once

#include <QString>
#include <QUrl>

class QWidget;

// A modal dialog to choose one existing file; returns when it has closed.
class FileDialog
{
public:
    virtual ~FileDialog() = default;
    // The file chosen, as the dialog names it, or the empty URL when the user cancelled. A URL, not a path: it can
    // keep the bytes of a name that is not UTF-8, percent-encoded.
    virtual QUrl chooseFile(QWidget* owner, const QString& title) = 0;
};
