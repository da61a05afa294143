#pragma once

#include <memory>
#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>
#include <QWindow>

// Drops as a file manager makes them, sent straight to a widget.

inline QMimeData* filesData(const QStringList& paths)
{
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& path : paths) {
        urls.append(QUrl::fromLocalFile(path));
    }
    data->setUrls(urls);
    return data;
}

// Drags the data over the target and drops it there, as a file manager does; true when the drag was accepted.
// The source offers every action and proposes the one given (a Shift-drag proposes a move).
inline bool dropOn(QWidget* target, QMimeData* data, Qt::DropAction proposed = Qt::CopyAction,
                   Qt::DropAction* agreed = nullptr)
{
    const std::unique_ptr<QMimeData> owned(data);
    const QPoint position = target->rect().center();
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    QDragEnterEvent enter(position, actions, data, Qt::LeftButton,
                          proposed == Qt::MoveAction ? Qt::ShiftModifier : Qt::NoModifier);
    enter.setDropAction(proposed);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(position), actions, data, Qt::LeftButton, Qt::NoModifier);
    drop.setDropAction(proposed);
    QCoreApplication::sendEvent(target, &drop);
    if (agreed) {
        *agreed = drop.dropAction();
    }
    return enter.isAccepted() && enter.dropAction() == Qt::CopyAction;
}

// A drag as the platform hands it to the native window, which passes it on to the control under the pointer. The
// X11 platform hands every drag from another program over in one and the same data object.
struct WindowDrag
{
    QWindow* window;
    const QMimeData* data;

    // Enters the window at the point and moves there; true when the drag was accepted as a copy.
    bool enterAt(QPoint at) const
    {
        QDragEnterEvent enter(at, kOffered, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &enter);
        return moveTo(at);
    }
    // Moves within the window; true when the drag is accepted there as a copy.
    bool moveTo(QPoint at) const
    {
        QDragMoveEvent move(at, kOffered, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &move);
        return move.isAccepted() && move.dropAction() == Qt::CopyAction;
    }
    void leave() const
    {
        QDragLeaveEvent leaving;
        QCoreApplication::sendEvent(window, &leaving);
    }
    void dropAt(QPoint at) const
    {
        QDropEvent drop(QPointF(at), kOffered, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &drop);
    }

    static constexpr Qt::DropActions kOffered = Qt::CopyAction | Qt::MoveAction;
};
