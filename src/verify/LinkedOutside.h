#pragma once

#include "StallWatch.h"

#include <mutex>
#include <QByteArray>
#include <QSet>

// The entries of a list whose names stay in its folder but whose files, symbolic links followed, lie outside it: a
// link in a release folder can lead a check anywhere. Learnt as each file is opened, on the engine's workers, so the
// list's worker never waits on the file system for it.
class LinkedOutside : public std::enable_shared_from_this<LinkedOutside>
{
public:
    // FOLDER is the list's, as the list was named (empty: the current one).
    explicit LinkedOutside(const QByteArray& folder);

    // INNER, with the real place of each file it opens compared with the folder's.
    StallWatch::Opener watch(StallWatch::Opener inner);

    // Whether the file at PATH, as opened, was found outside the folder.
    bool contains(const QByteArray& path);

private:
    QByteArray m_realFolder; // with its trailing '/'; empty when the folder itself cannot be found
    std::mutex m_mutex;
    QSet<QByteArray> m_outside;
};
