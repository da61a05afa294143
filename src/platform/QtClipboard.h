#pragma once

#include "Clipboard.h"

class QtClipboard final : public Clipboard
{
public:
    void setText(const QString& text) override;
};
