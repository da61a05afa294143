#pragma once

#include <functional>
#include <QObject>

class QWidget;

// Gives a widget without a click of its own (a picture) one: the left button pressed and released on it. A press
// refused by acceptPress (the rest of a double click that opened the window, say) starts no click. To assistive
// technology the widget is a button whose press action is the same click.
class ClickFilter final : public QObject
{
    Q_OBJECT

public:
    ClickFilter(QWidget* target, std::function<void()> clicked, std::function<bool()> acceptPress = {});

    void click() { m_clicked(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_target;
    std::function<void()> m_clicked;
    std::function<bool()> m_acceptPress;
    bool m_pressed = false;
};
