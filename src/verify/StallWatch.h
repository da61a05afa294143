#pragma once

#include "FileReader.h"

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <QByteArray>
#include <unordered_map>
#include <vector>

// Which files are inside a call to the file system (an opening, a read, a look at the open file) and since when, so
// that a list's rows can say which of them wait on a file system that does not answer. The engine's workers make
// the calls; the list's worker looks.
class StallWatch : public std::enable_shared_from_this<StallWatch>
{
public:
    using Opener = std::function<OpenedFile(const QByteArray& nativePath)>;

    // INNER, with each of its openings and each call on what it opens watched.
    Opener watch(Opener inner);

    // The paths of calls that have lasted longer than AFTER, each call told once.
    std::vector<QByteArray> newlyStalled(std::chrono::milliseconds after);

    // Marks a call for as long as it lives.
    class Call
    {
    public:
        Call(StallWatch& watch, const QByteArray& path);
        ~Call();
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;

    private:
        StallWatch& m_watch;
        quint64 m_id;
    };

private:
    struct Entry
    {
        QByteArray path;
        std::chrono::steady_clock::time_point since;
        bool told = false;
    };

    std::mutex m_mutex;
    std::unordered_map<quint64, Entry> m_calls;
    quint64 m_nextId = 0;
};
