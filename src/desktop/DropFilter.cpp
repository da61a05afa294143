#include "DropFilter.h"

#include "DroppedFiles.h"

#include <QDropEvent>
#include <QTimer>
#include <QWidget>

DropFilter::DropFilter(QWidget* window, std::function<void(const QStringList&)> takeFiles)
    : QObject(window), m_takeFiles(std::move(takeFiles)), m_window(window)
{
    window->setAcceptDrops(true);
    window->installEventFilter(this);
    for (QWidget* control : window->findChildren<QWidget*>()) {
        control->setAcceptDrops(true);
        control->installEventFilter(this);
    }
    watchNativeWindow();
}

void DropFilter::watchNativeWindow()
{
    // The native window exists from the first show on; it may be made anew later.
    QWindow* native = m_window->windowHandle();
    if (native && native != m_nativeWindow) {
        native->installEventFilter(this);
        m_nativeWindow = native;
    }
}

void DropFilter::forgetDrag()
{
    m_inWindow.reset();
    m_inControl.reset();
}

QStringList DropFilter::filesOf(const QMimeData* data)
{
    // Each look at the dragged data asks the source for it again, over the display: judged once as the drag enters,
    // not again at every move of the pointer or at every control it crosses.
    if (m_inWindow) {
        return *m_inWindow;
    }
    if (!m_inControl) {
        m_inControl = data ? droppedFiles(*data) : QStringList();
    }
    return *m_inControl;
}

bool DropFilter::eventFilter(QObject* watched, QEvent* event)
{
    // A modal message swallows the leaving of a drag that was over the window, and Qt may then hand the next drag
    // on without entering the window again: what was judged before the message must go with it.
    if (event->type() == QEvent::WindowBlocked) {
        forgetDrag();
        return QObject::eventFilter(watched, event);
    }
    if (watched == m_nativeWindow) {
        if (event->type() == QEvent::DragEnter) {
            const QMimeData* data = static_cast<QDragEnterEvent*>(event)->mimeData();
            forgetDrag();
            m_inWindow = data ? droppedFiles(*data) : QStringList();
        } else if (event->type() == QEvent::DragLeave) {
            forgetDrag();
        }
        // Handed on either way: the window passes the drag to the control under the pointer.
        return false;
    }
    switch (event->type()) {
    case QEvent::Show:
        if (watched == m_window) {
            watchNativeWindow();
        }
        return QObject::eventFilter(watched, event);
    case QEvent::DragEnter:
        m_inControl.reset();
        [[fallthrough]];
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!filesOf(drag->mimeData()).isEmpty()) {
            // A copy whatever the source proposes: the file is only read, and a source told "move" may delete it.
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::DragLeave:
        m_inControl.reset();
        return true;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList files = filesOf(drop->mimeData());
        forgetDrag();
        if (files.isEmpty()) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        // Taken once the drop is over: the analysis may show a modal message, and the file manager that dragged
        // the file must not be kept waiting for the user to close it.
        QTimer::singleShot(0, this, [this, files] { m_takeFiles(files); });
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}
