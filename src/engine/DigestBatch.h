#pragma once

#include "DigestSlot.h"
#include "FileDigests.h"
#include "FileReader.h"
#include "LanePlan.h"
#include "ThreadStarter.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <QByteArray>
#include <utility>

// One file to digest: its path as the system's bytes, and the digests wanted from its one read.
struct DigestRequest
{
    QByteArray nativePath; // ignored when fromStandardInput
    AlgorithmSet algorithms;
    bool fromStandardInput = false;
    // The version whose digests are wanted (the one whose facts are shown); another found at opening fails
    // ChangedWhileRead without a read.
    std::optional<FileIdentity> expectedVersion = std::nullopt;
};

struct DigestBatchOptions
{
    // Lanes on the cores; 0: one per available core.
    int workers = 0;
    // Read anything the system lets us read (FIFOs, devices, /proc files), as command-line tools do; when false,
    // anything but a regular file fails with NotRegularFile without being opened.
    bool readAnyFile = false;
    // Each file is read in blocks of this size, at most this many in flight; memory is this much per worker. Blocks
    // small enough to stay in the processor's cache make the copy from the system and every digest's pass cheap;
    // enough of them keep a helper busy while the reader waits to be scheduled.
    std::size_t blockSize = std::size_t{64} << 10;
    std::size_t blocksInFlight = 32;
    // How a shared read groups its digests into lanes; empty: each digest a lane of its own. A digest missing from
    // the plan is a lane of its own.
    LanePlan lanes;
    // A folder's failure in the system's words ("Is a directory"), as command-line tools give it; else the opener's.
    bool systemWordsForFolders = true;
    // An owner's cancel flag, heeded as cancel() is, and its count of bytes, kept as bytesDone() is (the window's
    // analysis passes its job's); both must outlive the batch.
    const std::atomic<bool>* cancelledBy = nullptr;
    std::atomic<quint64>* bytesDoneTo = nullptr;
    // Called on the taker's thread when takeNext() is about to wait for a file not yet done: a command line's
    // buffered lines leave then, so that each file's lines are out before a slower file is awaited, while files
    // that come fast share one write.
    std::function<void()> beforeWaiting;
    // Seams for what tests cannot make happen on demand; empty means the real thing.
    std::function<OpenedFile(const QByteArray& nativePath)> opener;
    HasherFactory createHasher;
    ThreadStarter startThread;
};

// Digests any number of files, each read once, on a pool of threads that lives as long as the batch: no thread per
// file, nothing per file that grows with their number. Several files are read at once when one file's digests would
// leave cores idle. Results are taken in the order the files were submitted.
//
// Used from one thread: submit() never blocks; the caller keeps pending() bounded (a few per worker) and calls
// takeNext() to receive the oldest result, blocking until it is ready. A file given while others await their taker
// may wait for the next takeNext() before its work starts, unless files have gathered.
class DigestBatch
{
public:
    explicit DigestBatch(DigestBatchOptions options = {});
    ~DigestBatch(); // cancels what is left and joins the pool
    DigestBatch(const DigestBatch&) = delete;
    DigestBatch& operator=(const DigestBatch&) = delete;

    void submit(DigestRequest request);
    std::size_t pending() const; // submitted and not yet taken
    FileDigests takeNext();      // precondition: pending() > 0
    // The result of any file done, with its place in the order submitted (from 0), rather than the oldest: a file
    // whose system does not answer holds back no other. Waits at most `wait` for one; not mixed with takeNext().
    std::optional<std::pair<std::size_t, FileDigests>> takeAny(std::chrono::milliseconds wait);

    // Bytes taken in by every digest of every file so far; safe to read from any thread (progress).
    quint64 bytesDone() const;
    // Stops every read at its next block; their results come back Cancelled.
    void cancel();

private:
    struct State;
    std::unique_ptr<State> m_state;
};
