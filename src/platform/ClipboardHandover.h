#pragma once

#include <chrono>

// Hands what the program put on the clipboard to the desktop's clipboard manager, as Qt does when the application
// object goes. A process that ends without that (std::_Exit, with a worker stuck in a read) would otherwise take
// what the user copied with it. Returns once the manager has taken it or said no, or when the time allowed is up;
// at once when this is no X11 desktop, nothing of ours is on the clipboard, or no manager runs.
void handClipboardToManager(std::chrono::milliseconds limit);
