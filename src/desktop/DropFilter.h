#pragma once

#include <functional>
#include <optional>
#include <QMimeData>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWindow>

class QWidget;

// Makes a window and every control in it one drop target. A drop hands its local files to the intake, in the order
// dragged, and does nothing else: a text box inserts no text, a button is not pressed, a tick box keeps its tick. A
// drag is accepted only while it carries a local file, so the pointer tells beforehand whether the drop will do
// anything.
class DropFilter final : public QObject
{
    Q_OBJECT

public:
    // takeFiles gets at least one file.
    DropFilter(QWidget* window, std::function<void(const QStringList&)> takeFiles);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What a drag carries, judged once: its local files, none when it carries none.
    using Judgement = std::optional<QStringList>;

    void watchNativeWindow();
    void forgetDrag();
    QStringList filesOf(const QMimeData* data);

    std::function<void(const QStringList&)> m_takeFiles;
    QWidget* m_window;
    // Where every drag from outside begins and ends, whichever control it crosses on the way.
    QPointer<QWindow> m_nativeWindow;
    // The platform may hand every drag over in the same data object, so nothing of one drag may be kept past its
    // leaving or its drop. Judged as the drag enters the window, or, where it reaches a control without entering
    // the window first, as it enters that control.
    Judgement m_inWindow;
    Judgement m_inControl;
};
