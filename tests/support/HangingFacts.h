#pragma once

#include "FileFacts.h"
#include "GatedReader.h"

#include <atomic>
#include <memory>
#include <QThread>

// Facts from the real file system, except for paths that contain ".hang": their look waits at the gate, as a stat on
// a mount that stopped answering does, and then comes back with `stale`. Counts the looks made on the thread that
// made the reader, the window's, which must make none.
struct HangingFacts
{
    std::shared_ptr<Gate> gate = std::make_shared<Gate>();
    std::shared_ptr<std::atomic<int>> looksOnWindowThread = std::make_shared<std::atomic<int>>(0);
    PathFacts stale{PathKind::RegularFile, QString(),
                    FileFacts{"stale name", "/stale/path", "1", {}, "stale", "stale", FileIdentity{}}};

    FactsReader reader() const
    {
        return [gate = gate, counter = looksOnWindowThread, stale = stale,
                windowThread = QThread::currentThread()](const QString& path) {
            if (QThread::currentThread() == windowThread) {
                ++*counter;
            } else if (path.contains(QStringLiteral(".hang"))) {
                gate->wait();
                return stale;
            }
            return gatherFacts(path, QLocale::c());
        };
    }
};
