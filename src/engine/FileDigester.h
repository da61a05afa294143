#pragma once

#include "DigestBatch.h"
#include "SharedRead.h"
#include "StreamTurns.h"

#include <atomic>
#include <memory>

// What one worker keeps from file to file, so that no file costs an allocation of blocks.
struct WorkerTools
{
    explicit WorkerTools(const DigestBatchOptions& options) : ring(options.blockSize, options.blocksInFlight) {}

    ReadBuffers ring;
    std::array<DigestSlot, kAlgorithmCount> digestSlots;
};

// Where a file's shared read is offered to idle workers, for as long as it lasts.
class HelpWanted
{
public:
    virtual ~HelpWanted() = default;
    virtual void offer(const std::shared_ptr<SharedRead>& read) = 0;
    virtual void withdraw(const std::shared_ptr<SharedRead>& read) = 0;
};

// What every file of one batch shares.
struct BatchContext
{
    const DigestBatchOptions& options;
    int workerCount;
    CancelFlags cancelled;
    std::atomic<quint64>& bytesDone;
    const std::atomic<std::size_t>& filesWaiting; // files no worker has taken yet
    HelpWanted& helpWanted;
    StreamTurns* streamTurns = nullptr; // where readings of one stream take turns; none: one file at a time
};

// One file opened, its identity watched, read once and its digests taken: by this worker alone, or with idle
// workers helping when the file is large enough to share. turn: the file's place among the batch's stream turns.
// Never throws.
FileDigests digestFile(const DigestRequest& request, const BatchContext& batch, WorkerTools& tools,
                       std::optional<quint64> turn = std::nullopt);
