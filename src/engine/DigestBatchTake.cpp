// Taking the batch's results: the oldest, or any that is done.
#include "DigestBatchState.h"

#include <algorithm>

void DigestBatch::State::digestOnCallersThread(std::unique_lock<std::mutex>& lock,
                                               const std::shared_ptr<BatchEntry>& entry)
{
    std::erase(waiting, entry);
    filesWaiting.store(waiting.size(), std::memory_order_relaxed);
    entry->started = true;
    lock.unlock();
    WorkerTools tools(options);
    FileDigests result = digestFile(entry->request, context, tools, entry->turn);
    lock.lock();
    publish(*entry, std::move(result));
}

FileDigests DigestBatch::takeNext()
{
    State& state = *m_state;
    if (!state.taken.empty()) {
        FileDigests result = std::move(state.taken.front()->result);
        state.taken.pop_front();
        return result;
    }
    std::unique_lock lock(state.mutex);
    const std::shared_ptr<BatchEntry> entry = state.submitted.front();
    if (!entry->done && !state.waiting.empty() && state.idleWorkers > 0) {
        state.workArrived.notify_all(); // files left to gather by submit() are wanted now
    }
    if (!entry->done && state.options.beforeWaiting) {
        lock.unlock(); // the caller's output may be slow to leave: the workers go on meanwhile
        state.options.beforeWaiting();
        lock.lock();
    }
    for (;;) {
        state.takerWaiting = true;
        state.resultReady.wait(lock, [&] { return entry->done || (!entry->started && state.liveWorkers == 0); });
        state.takerWaiting = false;
        if (entry->done) {
            break;
        }
        state.digestOnCallersThread(lock, entry);
    }
    // The run of results ready behind it is taken along, so that the next calls need not take the lock the workers
    // pick their files with.
    while (!state.submitted.empty() && state.submitted.front()->done) {
        --state.doneNotTaken;
        state.standardInputsNotTaken -= state.submitted.front()->request.fromStandardInput ? 1 : 0;
        if (state.submitted.front() != entry) {
            state.taken.push_back(std::move(state.submitted.front()));
        }
        state.submitted.pop_front();
    }
    return std::move(entry->result);
}

std::optional<std::pair<std::size_t, FileDigests>> DigestBatch::takeAny(std::chrono::milliseconds wait)
{
    State& state = *m_state;
    std::unique_lock lock(state.mutex);
    state.takerTakesAny = true;
    if (!state.waiting.empty() && state.idleWorkers > 0) {
        state.workArrived.notify_all(); // files left to gather by submit() are wanted now
    }
    const auto anyDone = [&state] {
        return std::find_if(state.submitted.begin(), state.submitted.end(),
                            [](const std::shared_ptr<BatchEntry>& each) { return each->done; });
    };
    auto done = anyDone();
    if (done == state.submitted.end() && state.liveWorkers == 0 && !state.waiting.empty()) {
        state.digestOnCallersThread(lock, std::shared_ptr<BatchEntry>(state.waiting.front()));
        done = anyDone();
    }
    if (done == state.submitted.end()) {
        // Woken early for a run of results; else at the end of the wait, for whatever is done by then.
        state.takerWaiting = true;
        state.resultReady.wait_for(lock, wait, [&] { return state.liveWorkers == 0 || state.worthWakingTheTaker(); });
        state.takerWaiting = false;
        done = anyDone();
        if (done == state.submitted.end()) {
            return std::nullopt;
        }
    }
    const std::shared_ptr<BatchEntry> entry = *done;
    state.submitted.erase(done);
    --state.doneNotTaken;
    state.standardInputsNotTaken -= entry->request.fromStandardInput ? 1 : 0;
    return std::make_pair(entry->index, std::move(entry->result));
}
