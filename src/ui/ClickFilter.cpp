#include "ClickFilter.h"

#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QWidget>
#include <utility>

namespace {

// A picture's own accessible face is a graphic with nothing to do; one with a click is a button a screen reader can
// press.
class ClickableAccessible final : public QAccessibleWidget
{
public:
    ClickableAccessible(QWidget* widget, ClickFilter* filter)
        : QAccessibleWidget(widget, QAccessible::Button), m_filter(filter)
    {}

    QStringList actionNames() const override { return {pressAction()}; }

    void doAction(const QString& actionName) override
    {
        if (actionName == pressAction() && widget()->isEnabled()) {
            m_filter->click();
        }
    }

private:
    ClickFilter* m_filter;
};

QAccessibleInterface* clickableFactory(const QString&, QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    auto* filter = widget ? widget->findChild<ClickFilter*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    return filter ? new ClickableAccessible(widget, filter) : nullptr;
}

} // namespace

ClickFilter::ClickFilter(QWidget* target, std::function<void()> clicked, std::function<bool()> acceptPress)
    : QObject(target), m_target(target), m_clicked(std::move(clicked)), m_acceptPress(std::move(acceptPress))
{
    target->installEventFilter(this);
    static const bool factoryInstalled = (QAccessible::installFactory(clickableFactory), true);
    Q_UNUSED(factoryInstalled);
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
