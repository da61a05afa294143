#pragma once

#include <functional>
#include <optional>
#include <QMimeData>
#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;

// Makes a window and every control in it one drop target. A drop hands its first local file to the intake and does
// nothing else: a text box inserts no text, a button is not pressed, a tick box keeps its tick. A drag is accepted
// only while it carries a local file, so the pointer tells beforehand whether the drop will do anything.
class DropFilter final : public QObject
{
    Q_OBJECT

public:
    DropFilter(QWidget* window, std::function<void(const QString&)> takeFile);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::optional<QString> fileOf(const QMimeData* data);

    std::function<void(const QString&)> m_takeFile;
    // The data of the drag in progress and what it carries; the pointer empties when the data goes.
    QPointer<const QMimeData> m_seen;
    std::optional<QString> m_seenFile;
};
