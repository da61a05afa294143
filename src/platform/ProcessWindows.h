#pragma once

#include <QtGlobal>

// The X windows of another process of ours, found by the process id each carries (_NET_WM_PID), on the display this
// program's windows are on. Elsewhere (Wayland, no display) both do nothing.

// Has the X server close the connections that hold the process's windows, as a window manager's force-quit does:
// they leave the screen at once, even while the process is stuck where no signal reaches it.
void closeWindowsOfProcess(qint64 pid);

// Brings the process's windows to the front, with the keyboard where a window manager gives it.
void raiseWindowsOfProcess(qint64 pid);
