#pragma once

#include <functional>
#include <thread>

// Starts a thread running the given work; throws std::system_error when the system has none to give.
using ThreadStarter = std::function<std::thread(std::function<void()>)>;
