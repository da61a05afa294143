#pragma once

#include "MessageBox.h"

#include <QPointer>
#include <QWidget>

class QtMessageBox final : public MessageBox
{
public:
    // parent may be hidden or null: at start-up the message comes before the main window is shown.
    explicit QtMessageBox(QWidget* parent = nullptr);
    void show(const QString& caption, const QString& text) override;

private:
    QPointer<QWidget> m_parent;
};
