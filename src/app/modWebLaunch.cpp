#include "modWebLaunch.h"

#include "WebLauncher.h"

int LaunchWebPage(WebLauncher& launcher, const QString& address, int /*showCommand*/)
{
    return launcher.open(address) ? 1 : 0;
}
