#pragma once

#include "MessageBox.h"

class QtMessageBox final : public MessageBox
{
public:
    void show(QWidget* owner, const QString& caption, const QString& text) override;
};
