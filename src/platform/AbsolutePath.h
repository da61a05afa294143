#pragma once

#include <QByteArray>

// The path made absolute so that it still names the file the kernel reaches through it. A relative path gets the
// current folder put before it; empty and "." components go, as they never change what a path names; ".." takes
// back the component before it only when that one is no symbolic link, because "link/.." is the folder the link's
// target is in, not the folder the link is in. Looks at the file system for each "..": call it off the window's
// thread.
QByteArray absoluteNativePath(const QByteArray& native);
