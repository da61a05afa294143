#pragma once

#include "WebLauncher.h"

class QtWebLauncher final : public WebLauncher
{
public:
    bool open(const QString& address) override;
};
