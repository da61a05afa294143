#pragma once

#include "FileDialog.h"

class QtFileDialog final : public FileDialog
{
public:
    QUrl chooseFile(QWidget* owner, const QString& title) override;
};
