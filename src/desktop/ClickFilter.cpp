#include "ClickFilter.h"

#include "AccessibleRoles.h"

#include <QAccessible>
#include <QMouseEvent>
#include <QWidget>
#include <utility>

ClickFilter::ClickFilter(QWidget* target, std::function<void()> clicked, std::function<bool()> acceptPress)
    : QObject(target), m_target(target), m_clicked(std::move(clicked)), m_acceptPress(std::move(acceptPress))
{
    target->installEventFilter(this);
    useAccessibleRoles();
    // Setting the picture announced its plain face to assistive technology, which keeps it; make it ask again.
    if (QAccessibleInterface* face = QAccessible::queryAccessibleInterface(target);
        face && face->role() != QAccessible::Button) {
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(face));
    }
}

bool ClickFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_target ||
        (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonRelease)) {
        return QObject::eventFilter(watched, event);
    }
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton) {
        return false;
    }
    if (event->type() == QEvent::MouseButtonPress) {
        m_pressed = !m_acceptPress || m_acceptPress();
    } else if (std::exchange(m_pressed, false) && m_target->rect().contains(mouse->position().toPoint())) {
        m_clicked();
    }
    return true;
}
