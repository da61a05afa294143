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

bool DropFilter::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (drag->mimeData() && firstDroppedFile(*drag->mimeData())) {
            drag->acceptProposedAction();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::DragLeave:
        return true;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const std::optional<QString> file = drop->mimeData() ? firstDroppedFile(*drop->mimeData()) : std::nullopt;
        if (!file) {
            drop->ignore();
            return true;
        }
        drop->acceptProposedAction();
        // Taken once the drop is over: the analysis may show a modal message, and the file manager that dragged
        // the file must not be kept waiting for the user to close it.
        QTimer::singleShot(0, this, [this, path = *file] { m_takeFile(path); });
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}
