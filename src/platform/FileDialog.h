#pragma once

#include <QString>

class QWidget;

// A modal dialog to choose one existing file; returns when it has closed.
class FileDialog
{
public:
    virtual ~FileDialog() = default;
    // The full path of the file chosen, or the empty text when the user cancelled.
    virtual QString chooseFile(QWidget* owner, const QString& title) = 0;
};
