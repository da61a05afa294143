#pragma once

#include "DigestJob.h"
#include "DigestSlot.h"
#include "Hasher.h"
#include "LanePlan.h"

#include <array>
#include <cstddef>
#include <functional>
#include <QByteArray>
#include <QString>
#include <thread>

class FileReader;

// Starts a thread running the given work; throws std::system_error when the system has none to give.
using ThreadStarter = std::function<std::thread(std::function<void()>)>;

struct ParallelDigestOptions
{
    std::size_t blockSize = std::size_t{1} << 20;
    std::size_t blocksInFlight = 6;
    // Empty: the plan fitted to this machine.
    LanePlan lanes;
    // Seams for faults that cannot be made to happen on demand; empty means the real thing.
    HasherFactory createHasher;
    ThreadStarter startThread;
};

// The raw digests of one pass over a reader, indexed by HashAlgorithm. Status is that of the read as a whole; a
// digest the crypto library refuses (to set up, to take a block or to finish) is left out with the library's
// reason, and the others go on.
struct ParallelDigestResult
{
    enum class Status
    {
        Ok,
        Failed,
        Cancelled,
    };
    Status status = Status::Failed;
    QString reason;
    AlgorithmSet algorithms; // the digests of the plan: the others are neither computed nor refused
    std::array<QByteArray, kAlgorithmCount> digests;
    std::array<QString, kAlgorithmCount> refusals; // empty where the digest was computed
};

// Reads the file once on the calling thread while the lanes digest the blocks in parallel. Memory stays at a fixed
// number of blocks whatever the file's size. Never throws: every failure, a thread that cannot be started
// included, comes back as a result.
ParallelDigestResult digestInParallel(FileReader& reader, DigestJob& job, const ParallelDigestOptions& options = {});
