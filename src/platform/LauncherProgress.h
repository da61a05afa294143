#pragma once

// The progress bar a desktop draws on the program's taskbar or dock entry, outside every window of ours. Where the
// desktop offers none, calls do nothing.
class LauncherProgress
{
public:
    virtual ~LauncherProgress() = default;
    // fraction: 0 to 1.
    virtual void show(double fraction) = 0;
    virtual void hide() = 0;
};
