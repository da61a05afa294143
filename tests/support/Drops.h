#pragma once

#include <memory>
#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

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
