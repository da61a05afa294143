#include "QtMessageBox.h"

#include <QMessageBox>

QtMessageBox::QtMessageBox(QWidget* parent) : m_parent(parent) {}

void QtMessageBox::show(const QString& caption, const QString& text)
{
    QWidget* parent = m_parent && m_parent->isVisible() ? m_parent.data() : nullptr;
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
    box.exec();
}
