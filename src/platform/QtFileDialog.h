#pragma once

#include "FileDialog.h"

class QtFileDialog final : public FileDialog
{
public:
    QString chooseFile(QWidget* owner, const QString& title) override;
};
