#pragma once

// What the batch's threads share, for the files that make up the batch.
#include "DigestBatch.h"
#include "FileDigester.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

struct BatchEntry
{
    DigestRequest request;
    FileDigests result;
    std::size_t index = 0; // in the order submitted
    quint64 turn = 0;
    bool started = false;
    bool done = false;
};

struct DigestBatch::State final : HelpWanted
{
    explicit State(DigestBatchOptions batchOptions);

    DigestBatchOptions options;
    int workerCount = 1;

    std::mutex mutex;
    std::condition_variable workArrived;
    std::condition_variable resultReady;
    std::deque<std::shared_ptr<BatchEntry>> submitted; // in order, until taken
    std::deque<std::shared_ptr<BatchEntry>> waiting;   // not yet started
    std::deque<std::shared_ptr<BatchEntry>> taken;     // done, moved out by the taker's thread alone: no lock
    std::vector<std::shared_ptr<SharedRead>> helpable;
    bool stopping = false;
    int liveWorkers = 0;
    int idleWorkers = 0; // waiting for work
    bool takerWaiting = false;
    bool takerTakesAny = false;
    std::size_t submittedCount = 0;
    bool readingStandardInput = false; // one reading at a time, each from where the last one stopped
    std::vector<std::thread> threads;

    std::atomic<bool> cancelled{false};
    std::atomic<quint64> ownBytesDone{0};
    std::atomic<quint64>& bytesDone = options.bytesDoneTo ? *options.bytesDoneTo : ownBytesDone;

    std::atomic<std::size_t> filesWaiting{0}; // waiting.size(), for helpers to read without the lock
    std::size_t doneNotTaken = 0;             // of submitted
    std::size_t standardInputsNotTaken = 0;   // of submitted

    StreamTurns streamTurns;
    BatchContext context{options, workerCount, {&cancelled, options.cancelledBy}, bytesDone, filesWaiting,
                         *this,   &streamTurns};

    void offer(const std::shared_ptr<SharedRead>& read) override;
    void withdraw(const std::shared_ptr<SharedRead>& read) override;
    // No worker is left to do it: the caller's thread does the work, one file at a time.
    void digestOnCallersThread(std::unique_lock<std::mutex>& lock, const std::shared_ptr<BatchEntry>& entry);
    void publish(BatchEntry& entry, FileDigests result); // with the lock held
    bool worthWakingTheTaker() const;
    void work();
};
