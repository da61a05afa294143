#include "AccessibleRoles.h"

#include "ClickFilter.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QByteArrayList>
#include <QPointer>
#include <QWidget>

namespace {

// The classes of our windows whose role follows their flags; all on the thread of the windows.
QByteArrayList& windowClasses()
{
    static QByteArrayList classes;
    return classes;
}

class ClickableAccessible final : public QAccessibleWidget
{
public:
    ClickableAccessible(QWidget* widget, ClickFilter* filter)
        : QAccessibleWidget(widget, QAccessible::Button), m_filter(filter)
    {}

    QStringList actionNames() const override { return {pressAction()}; }

    // Only what a mouse could click: a picture on screen, in a window that no modal dialog blocks.
    void doAction(const QString& actionName) override
    {
        QWidget* target = widget();
        if (actionName != pressAction() || !m_filter || !target->isEnabled() || !target->isVisible()) {
            return;
        }
        if (const QWidget* modal = QApplication::activeModalWidget(); modal && !modal->isAncestorOf(target)) {
            return;
        }
        m_filter->click();
    }

private:
    QPointer<ClickFilter> m_filter;
};

// Decided when asked: a window's flags may be set after its face is made.
class WindowAccessible final : public QAccessibleWidget
{
public:
    using QAccessibleWidget::QAccessibleWidget;

    QAccessible::Role role() const override
    {
        if (!widget()->isWindow()) {
            return QAccessible::Client;
        }
        return widget()->windowType() == Qt::Dialog ? QAccessible::Dialog : QAccessible::Window;
    }
};

QAccessibleInterface* accessibleFace(const QString&, QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget) {
        return nullptr;
    }
    if (auto* filter = widget->findChild<ClickFilter*>(QString(), Qt::FindDirectChildrenOnly)) {
        return new ClickableAccessible(widget, filter);
    }
    for (const QByteArray& windowClass : windowClasses()) {
        if (widget->inherits(windowClass.constData())) {
            return new WindowAccessible(widget);
        }
    }
    return nullptr;
}

} // namespace

void useAccessibleRoles(const char* windowClass)
{
    static const bool installed = (QAccessible::installFactory(accessibleFace), true);
    Q_UNUSED(installed);
    if (windowClass && !windowClasses().contains(windowClass)) {
        windowClasses().append(windowClass);
    }
}
