#pragma once

#include <QString>

class WebLauncher;

// The show command both callers pass: a normal window. Kept for the callers' sake; the desktop's browser decides.
inline constexpr int kShowNormal = 1;

// Hands the address to the desktop's default browser and returns whether the desktop took it; callers ignore it.
// Nothing is checked or retried, and the browser is never waited for.
int LaunchWebPage(WebLauncher& launcher, const QString& address, int showCommand);
