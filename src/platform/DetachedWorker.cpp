#include "DetachedWorker.h"

std::optional<QString> startDetachedThread(const ThreadStarter& starter, std::function<void()> body)
{
    try {
        (starter ? starter(std::move(body)) : std::thread(std::move(body))).detach();
        return std::nullopt;
    } catch (const std::exception& error) {
        return QString::fromLocal8Bit(error.what());
    }
}
