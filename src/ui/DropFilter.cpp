#include "DropFilter.h"

#include "DroppedFiles.h"

#include <QDropEvent>
#include <QTimer>
#include <QWidget>

DropFilter::DropFilter(QWidget* window, std::function<void(const QString&)> takeFile)
    : QObject(window), m_takeFile(std::move(takeFile))
{
    window->setAcceptDrops(true);
    window->installEventFilter(this);
    for (QWidget* control : window->findChildren<QWidget*>()) {
        control->setAcceptDrops(true);
        control->installEventFilter(this);
    }
}

std::optional<QString> DropFilter::fileOf(const QMimeData* data)
{
    // Each look at the dragged data asks the source for it again, over the display: decided once per drag, so that
    // a slow source is not asked at every move of the pointer.
    if (!data) {
        return std::nullopt;
    }
    if (m_seen != data) {
        m_seen = data;
        m_seenFile = firstDroppedFile(*data);
    }
    return m_seenFile;
}

bool DropFilter::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (fileOf(drag->mimeData())) {
            // A copy whatever the source proposes: the file is only read, and a source told "move" may delete it.
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::DragLeave:
        return true;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const std::optional<QString> file = fileOf(drop->mimeData());
        m_seen = nullptr;
        if (!file) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        // Taken once the drop is over: the analysis may show a modal message, and the file manager that dragged
        // the file must not be kept waiting for the user to close it.
        QTimer::singleShot(0, this, [this, path = *file] { m_takeFile(path); });
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}
