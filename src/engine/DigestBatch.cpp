#include "DigestBatch.h"

#include "DigestBatchState.h"
#include "FileDigester.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <QThread>
#include <thread>
#include <vector>

namespace {

// Files given that wake an idle worker before the taker asks for a result.
constexpr std::size_t kFilesGathered = 16;

std::thread startRealThread(std::function<void()> work)
{
    return std::thread(std::move(work));
}

} // namespace

DigestBatch::State::State(DigestBatchOptions batchOptions) : options(std::move(batchOptions))
{
    if (!options.opener) {
        options.opener = options.readAnyFile ? AnyFile::open : RegularFile::open;
    }
    if (!options.startThread) {
        options.startThread = startRealThread;
    }
    workerCount = options.workers > 0 ? options.workers : std::max(QThread::idealThreadCount(), 1);
    context.workerCount = workerCount;
}

void DigestBatch::State::offer(const std::shared_ptr<SharedRead>& read)
{
    std::lock_guard lock(mutex);
    helpable.push_back(read);
    workArrived.notify_all();
}

void DigestBatch::State::withdraw(const std::shared_ptr<SharedRead>& read)
{
    std::lock_guard lock(mutex);
    std::erase(helpable, read);
}

void DigestBatch::State::publish(BatchEntry& entry, FileDigests result)
{
    streamTurns.finish(entry.turn);
    entry.result = std::move(result);
    entry.done = true;
    ++doneNotTaken;
    if (takerWaiting && worthWakingTheTaker()) {
        resultReady.notify_all();
    }
}

bool DigestBatch::State::worthWakingTheTaker() const
{
    // Woken for each file, the taker would cost every small file a switch between threads: it is woken when a run
    // of results is ready, or when what comes next is standard input, which may take as long as a person types.
    if (takerTakesAny) {
        return doneNotTaken >= std::max<std::size_t>(submitted.size() / 2, 1);
    }
    if (submitted.empty() || !submitted.front()->done) {
        return false;
    }
    if (doneNotTaken >= std::max<std::size_t>(submitted.size() / 2, 1) || doneNotTaken == submitted.size()) {
        return true;
    }
    if (standardInputsNotTaken == 0) {
        return false;
    }
    const auto next = std::find_if(submitted.begin(), submitted.end(),
                                   [](const std::shared_ptr<BatchEntry>& each) { return !each->done; });
    return next != submitted.end() && (*next)->request.fromStandardInput;
}

void DigestBatch::State::work()
{
    // The body of a thread of ours: nothing may leave it.
    try {
        WorkerTools tools(options);
        std::unique_lock lock(mutex);
        while (!stopping) {
            const auto next =
                std::find_if(waiting.begin(), waiting.end(), [this](const std::shared_ptr<BatchEntry>& each) {
                    return !each->request.fromStandardInput || !readingStandardInput;
                });
            if (next != waiting.end()) {
                const std::shared_ptr<BatchEntry> entry = *next;
                waiting.erase(next);
                filesWaiting.store(waiting.size(), std::memory_order_relaxed);
                entry->started = true;
                readingStandardInput = readingStandardInput || entry->request.fromStandardInput;
                lock.unlock();
                FileDigests result = digestFile(entry->request, context, tools, entry->turn);
                lock.lock();
                // Published under the lock the next file is taken with: one hand-over per small file, not two.
                publish(*entry, std::move(result));
                if (entry->request.fromStandardInput) {
                    readingStandardInput = false;
                    workArrived.notify_all();
                }
                continue;
            }
            // New files first: a file of one's own needs no hand-over. Idle, help the reads in progress.
            const auto read = std::find_if(helpable.begin(), helpable.end(),
                                           [](const std::shared_ptr<SharedRead>& each) { return each->wantsHelp(); });
            if (read != helpable.end()) {
                const std::shared_ptr<SharedRead> helped = *read;
                lock.unlock();
                helped->help();
                lock.lock();
                continue;
            }
            ++idleWorkers;
            workArrived.wait(lock);
            --idleWorkers;
        }
    } catch (...) {
        // Out of memory for the worker's blocks: the others, or the caller's thread, carry on with the files.
    }
    std::lock_guard lock(mutex);
    --liveWorkers;
    resultReady.notify_all();
}

DigestBatch::DigestBatch(DigestBatchOptions options) : m_state(std::make_unique<State>(std::move(options)))
{
    State& state = *m_state;
    state.threads.reserve(static_cast<std::size_t>(state.workerCount));
    for (int i = 0; i < state.workerCount; ++i) {
        try {
            std::lock_guard lock(state.mutex);
            state.threads.push_back(state.options.startThread([&state] { state.work(); }));
            ++state.liveWorkers;
        } catch (const std::exception&) {
            break; // fewer workers; with none at all, takeNext() digests on the caller's thread
        }
    }
}

DigestBatch::~DigestBatch()
{
    cancel();
    {
        std::lock_guard lock(m_state->mutex);
        m_state->stopping = true;
        // Files no worker will take: a stream waiting behind one of them goes on.
        for (const std::shared_ptr<BatchEntry>& entry : m_state->waiting) {
            m_state->streamTurns.finish(entry->turn);
        }
    }
    m_state->workArrived.notify_all();
    for (std::thread& thread : m_state->threads) {
        thread.join();
    }
}

void DigestBatch::submit(DigestRequest request)
{
    auto entry = std::make_shared<BatchEntry>();
    entry->request = std::move(request);
    entry->turn = m_state->streamTurns.add();
    bool wake = false;
    {
        std::lock_guard lock(m_state->mutex);
        entry->index = m_state->submittedCount++;
        m_state->submitted.push_back(entry);
        m_state->standardInputsNotTaken += entry->request.fromStandardInput ? 1 : 0;
        m_state->waiting.push_back(std::move(entry));
        m_state->filesWaiting.store(m_state->waiting.size(), std::memory_order_relaxed);
        // An idle worker is woken for a file given alone, when files have gathered, or by takeNext(). Woken for each
        // of many small files, it would finish one before the next is given and sleep again: two switches between
        // threads for every file.
        wake =
            m_state->idleWorkers > 0 && (m_state->submitted.size() == 1 || m_state->waiting.size() >= kFilesGathered);
    }
    if (wake) {
        m_state->workArrived.notify_one();
    }
}

std::size_t DigestBatch::pending() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->taken.size() + m_state->submitted.size();
}

quint64 DigestBatch::bytesDone() const
{
    return m_state->bytesDone.load(std::memory_order_relaxed);
}

void DigestBatch::cancel()
{
    m_state->cancelled.store(true, std::memory_order_relaxed);
}
