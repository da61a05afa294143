#include "DigestBatch.h"

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

struct Entry
{
    DigestRequest request;
    FileDigests result;
    std::size_t index = 0; // in the order submitted
    quint64 turn = 0;
    bool started = false;
    bool done = false;
};

// Files given that wake an idle worker before the taker asks for a result.
constexpr std::size_t kFilesGathered = 16;

std::thread startRealThread(std::function<void()> work)
{
    return std::thread(std::move(work));
}

} // namespace

struct DigestBatch::State final : HelpWanted
{
    explicit State(DigestBatchOptions batchOptions) : options(std::move(batchOptions))
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

    DigestBatchOptions options;
    int workerCount = 1;

    std::mutex mutex;
    std::condition_variable workArrived;
    std::condition_variable resultReady;
    std::deque<std::shared_ptr<Entry>> submitted; // in order, until taken
    std::deque<std::shared_ptr<Entry>> waiting;   // not yet started
    std::deque<std::shared_ptr<Entry>> taken;     // done, moved out by the taker's thread alone: no lock
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
    void publish(Entry& entry, FileDigests result); // with the lock held
    bool worthWakingTheTaker() const;
    void work();
};

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

void DigestBatch::State::publish(Entry& entry, FileDigests result)
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
                                   [](const std::shared_ptr<Entry>& each) { return !each->done; });
    return next != submitted.end() && (*next)->request.fromStandardInput;
}

void DigestBatch::State::work()
{
    // The body of a thread of ours: nothing may leave it.
    try {
        WorkerTools tools(options);
        std::unique_lock lock(mutex);
        while (!stopping) {
            const auto next = std::find_if(waiting.begin(), waiting.end(), [this](const std::shared_ptr<Entry>& each) {
                return !each->request.fromStandardInput || !readingStandardInput;
            });
            if (next != waiting.end()) {
                const std::shared_ptr<Entry> entry = *next;
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
        for (const std::shared_ptr<Entry>& entry : m_state->waiting) {
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
    auto entry = std::make_shared<Entry>();
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

FileDigests DigestBatch::takeNext()
{
    State& state = *m_state;
    if (!state.taken.empty()) {
        FileDigests result = std::move(state.taken.front()->result);
        state.taken.pop_front();
        return result;
    }
    std::unique_lock lock(state.mutex);
    const std::shared_ptr<Entry> entry = state.submitted.front();
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
        // No worker is left to do it: the caller's thread does the work, one file at a time.
        std::erase(state.waiting, entry);
        state.filesWaiting.store(state.waiting.size(), std::memory_order_relaxed);
        entry->started = true;
        lock.unlock();
        WorkerTools tools(state.options);
        FileDigests result = digestFile(entry->request, state.context, tools, entry->turn);
        lock.lock();
        state.publish(*entry, std::move(result));
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
                            [](const std::shared_ptr<Entry>& each) { return each->done; });
    };
    auto done = anyDone();
    if (done == state.submitted.end() && state.liveWorkers == 0 && !state.waiting.empty()) {
        // No worker is left to do it: the caller's thread does the work, one file at a time.
        const std::shared_ptr<Entry> entry = state.waiting.front();
        state.waiting.pop_front();
        state.filesWaiting.store(state.waiting.size(), std::memory_order_relaxed);
        entry->started = true;
        lock.unlock();
        WorkerTools tools(state.options);
        FileDigests result = digestFile(entry->request, state.context, tools, entry->turn);
        lock.lock();
        state.publish(*entry, std::move(result));
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
    const std::shared_ptr<Entry> entry = *done;
    state.submitted.erase(done);
    --state.doneNotTaken;
    state.standardInputsNotTaken -= entry->request.fromStandardInput ? 1 : 0;
    return std::make_pair(entry->index, std::move(entry->result));
}

quint64 DigestBatch::bytesDone() const
{
    return m_state->bytesDone.load(std::memory_order_relaxed);
}

void DigestBatch::cancel()
{
    m_state->cancelled.store(true, std::memory_order_relaxed);
}
