#include "QtMessageBox.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWindow>

namespace {

// A window just shown is placed by the window manager a moment later; a box centred on it before then would be
// centred on the corner of the screen. Events go on being handled meanwhile, and a window that never shows up on
// screen holds the box back for one second at most.
void waitUntilPlaced(QWidget* owner)
{
    const QPointer<QWidget> guarded(owner);
    const auto placed = [&] { return !guarded || !guarded->windowHandle() || guarded->windowHandle()->isExposed(); };
    if (placed()) {
        return;
    }
    const QDeadlineTimer deadline(1000);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (placed() || deadline.hasExpired()) {
            loop.quit();
        }
    });
    poll.start(10);
    loop.exec();
}

} // namespace

void QtMessageBox::show(QWidget* owner, const QString& caption, const QString& text)
{
    QPointer<QWidget> parent = owner && owner->isVisible() ? owner->window() : nullptr;
    if (parent) {
        waitUntilPlaced(parent);
    }
    QMessageBox box(QMessageBox::NoIcon, caption, QString(), QMessageBox::Ok, parent);
    // A file name such as "<b>x</b> &amp; y" is shown as it is, never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.exec();
}
