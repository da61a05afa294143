#pragma once

#include <QString>

class QWidget;

// A modal message with an OK button only and no icon; returns when the user has closed it. The text is shown as
// plain text, whatever it holds: it often quotes a file name.
class MessageBox
{
public:
    virtual ~MessageBox() = default;
    // owner: the window the message belongs to, centred over it while it is shown; null or hidden (at start-up,
    // before the main window appears), the message stands alone in the middle of the screen.
    virtual void show(QWidget* owner, const QString& caption, const QString& text) = 0;
};
