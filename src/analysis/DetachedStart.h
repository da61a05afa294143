#pragma once

#include "ThreadStarter.h"

#include <exception>
#include <functional>
#include <optional>
#include <QString>
#include <thread>

// Starts work on a thread of its own, never joined (the real one unless a starter is given); the system's reason when
// no thread could be had.
inline std::optional<QString> startDetached(const ThreadStarter& starter, std::function<void()> work)
{
    try {
        (starter ? starter(std::move(work)) : std::thread(std::move(work))).detach();
        return std::nullopt;
    } catch (const std::exception& error) {
        return QString::fromLocal8Bit(error.what());
    }
}
