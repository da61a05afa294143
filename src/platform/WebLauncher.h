#pragma once

#include <QString>

// Hands a web address to the desktop's default browser and returns at once; never waits for the browser.
class WebLauncher
{
public:
    virtual ~WebLauncher() = default;
    // Whether the desktop took the address; nobody needs more.
    virtual bool open(const QString& address) = 0;
};
