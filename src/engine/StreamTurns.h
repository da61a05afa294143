#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <QtGlobal>
#include <utility>

// Files of one batch read at once must not share a stream: two namings of one pipe, FIFO or terminal (`-`,
// /dev/stdin, /proc/self/fd/0, a FIFO named twice) would each take some of its bytes. Such readings take turns in
// the order the files were given, each after the one before has ended, as reading the files one by one would.
class StreamTurns
{
public:
    struct Stream
    {
        quint64 device = 0;
        quint64 inode = 0;
        bool operator==(const Stream&) const = default;
    };

    // A turn for the next file given, in order.
    quint64 add();
    // What the file of this turn turned out to be, once opened: a stream, or nothing that needs a turn (a regular
    // file, a failed opening). A stream then waits while an earlier file not yet done is the same stream or not yet
    // known. True when it waited: what it opened early may have to be opened again.
    bool await(quint64 turn, std::optional<Stream> stream);
    // The file of this turn is done with, read or not.
    void finish(quint64 turn);
    // A moment to compare with: whether a reading of this stream ended since. One that did may have taken all that
    // its writer gave: what was opened before it has seen that writer go, and must be opened again.
    quint64 moment();
    bool endedSince(const Stream& stream, quint64 moment);

private:
    bool mustWait(quint64 turn, const Stream& stream) const;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    quint64 m_next = 0;
    // Turns not yet finished: nothing while their file is not yet opened, then what it is (a stream or none).
    std::map<quint64, std::optional<std::optional<Stream>>> m_open;
    // Of each stream read so far, the moment its last reading ended.
    std::map<std::pair<quint64, quint64>, quint64> m_ended;
    quint64 m_clock = 0;
};
