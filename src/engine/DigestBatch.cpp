#include "DigestBatch.h"

#include "SharedRead.h"
#include "WatchedReader.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <QCoreApplication>
#include <QThread>
#include <thread>
#include <vector>

namespace {

struct Entry
{
    DigestRequest request;
    FileDigests result;
    bool started = false;
    bool done = false;
};

// What a worker keeps from file to file, so that no file costs an allocation of blocks.
struct WorkerTools
{
    explicit WorkerTools(const DigestBatchOptions& options) : ring(options.blockSize, options.blocksInFlight) {}

    ReadBuffers ring;
    std::array<DigestSlot, kAlgorithmCount> digestSlots;
};

QString unexpectedFailure(const char* what)
{
    return QCoreApplication::translate("ParallelDigest", "Unexpected failure while digesting: %1")
        .arg(QString::fromLocal8Bit(what));
}

FileDigests failed(DigestFailure kind, QString reason)
{
    FileDigests result;
    result.failure = kind;
    result.reason = std::move(reason);
    return result;
}

FileDigests openFailure(const OpenedFile& opened)
{
    // The tools' words for a folder, where the window has its own.
    FileDigests result = failed(failureForSystemError(opened.systemError, opened.beingWritten),
                                opened.systemError == EISDIR ? qt_error_string(EISDIR) : opened.error);
    result.systemError = opened.systemError;
    return result;
}

} // namespace

struct DigestBatch::State
{
    explicit State(DigestBatchOptions batchOptions) : options(std::move(batchOptions))
    {
        if (!options.opener) {
            options.opener = options.readAnyFile ? AnyFile::open : RegularFile::open;
        }
        workerCount = options.workers > 0 ? options.workers : std::max(QThread::idealThreadCount(), 1);
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
    bool takerWaiting = false;
    bool readingStandardInput = false; // one reading at a time, each from where the last one stopped
    std::vector<std::thread> threads;

    std::atomic<bool> cancelled{false};
    std::atomic<quint64> bytesDone{0};

    std::atomic<std::size_t> filesWaiting{0}; // waiting.size(), for helpers to read without the lock
    std::size_t doneNotTaken = 0;             // of submitted
    std::size_t standardInputsNotTaken = 0;   // of submitted

    LanePlan planFor(const AlgorithmSet& algorithms, bool spread) const;
    FileDigests digest(const DigestRequest& request, WorkerTools& tools);
    FileDigests readAll(FileReader& reader, WatchedReader* watched, const DigestRequest& request, WorkerTools& tools);
    SharedRead::End readShared(FileReader& reader, const LanePlan& plan, WorkerTools& tools, quint64* bytesRead,
                               QString* reason);
    SharedRead::End readAlone(FileReader& reader, const AlgorithmSet& algorithms, WorkerTools& tools,
                              quint64* bytesRead, QString* reason);
    FileDigests serve(const DigestRequest& request, WorkerTools& tools);
    void publish(Entry& entry, FileDigests result); // with the lock held
    bool worthWakingTheTaker() const;
    void work();
};

LanePlan DigestBatch::State::planFor(const AlgorithmSet& algorithms, bool spread) const
{
    // Shared, each digest is a lane of its own, taken block by block by whoever is free; alone, one pass feeds all.
    LanePlan plan;
    algorithms.forEach([&](HashAlgorithm algorithm) {
        if (spread || plan.empty()) {
            plan.emplace_back();
        }
        plan.back().push_back(algorithm);
    });
    return plan;
}

FileDigests DigestBatch::State::digest(const DigestRequest& request, WorkerTools& tools)
{
    if (cancelled.load(std::memory_order_relaxed)) {
        return failed(DigestFailure::Cancelled, QString());
    }
    OpenedFile opened = request.fromStandardInput ? AnyFile::standardInput() : options.opener(request.nativePath);
    if (!opened.reader) {
        return openFailure(opened);
    }
    if (!opened.checkIdentity) {
        return readAll(*opened.reader, nullptr, request, tools);
    }
    WatchedReader watched(std::move(opened.reader));
    return readAll(watched, &watched, request, tools);
}

FileDigests DigestBatch::State::readAll(FileReader& reader, WatchedReader* watched, const DigestRequest& request,
                                        WorkerTools& tools)
{
    // Lanes pay only where there are blocks enough to share; a stream's length is not known.
    const bool large = !watched || reader.identity().size > static_cast<qint64>(2 * options.blockSize);
    const LanePlan plan = planFor(request.algorithms, large && workerCount > 1);
    request.algorithms.forEach(
        [&](HashAlgorithm algorithm) { tools.digestSlots[indexOf(algorithm)].start(algorithm, options.createHasher); });

    QString reason;
    quint64 bytesRead = 0;
    const SharedRead::End end = plan.size() > 1 ? readShared(reader, plan, tools, &bytesRead, &reason)
                                                : readAlone(reader, request.algorithms, tools, &bytesRead, &reason);

    FileDigests result;
    result.bytesRead = bytesRead;
    bool failedAtEnd = false;
    if (end == SharedRead::End::Done && watched && !watched->unchangedAtEnd()) {
        failedAtEnd = true;
        reason = watched->errorString();
    }
    if (end == SharedRead::End::Cancelled) {
        result.failure = DigestFailure::Cancelled;
    } else if (end == SharedRead::End::Failed || failedAtEnd) {
        result.failure = !watched                  ? DigestFailure::ReadError
                         : watched->changed()      ? DigestFailure::ChangedWhileRead
                         : watched->beingWritten() ? DigestFailure::BeingWritten
                                                   : DigestFailure::ReadError;
        result.reason = reason;
    } else {
        result.failure = DigestFailure::None;
    }
    request.algorithms.forEach([&](HashAlgorithm algorithm) {
        DigestSlot& slot = tools.digestSlots[indexOf(algorithm)];
        if (!result.isOk()) {
            slot.hasher.reset();
            return;
        }
        if (std::optional<QByteArray> digest = slot.finish()) {
            result.digests[indexOf(algorithm)] = std::move(*digest);
        } else {
            result.refusals[indexOf(algorithm)] = slot.refusal;
        }
    });
    if (result.isOk()) {
        request.algorithms.forEach([&](HashAlgorithm algorithm) {
            if (result.isOk() && !result.refusals[indexOf(algorithm)].isEmpty()) {
                result.failure = DigestFailure::DigestRefused;
                result.reason = result.refusals[indexOf(algorithm)];
            }
        });
    }
    return result;
}

SharedRead::End DigestBatch::State::readShared(FileReader& reader, const LanePlan& plan, WorkerTools& tools,
                                               quint64* bytesRead, QString* reason)
{
    auto read = std::make_shared<SharedRead>(tools.ring, plan, tools.digestSlots, cancelled, bytesDone, filesWaiting);
    // Offered to idle workers for as long as this worker's blocks and digests serve it, and not a moment longer.
    class Offer
    {
    public:
        Offer(State& state, std::shared_ptr<SharedRead> read) : m_state(state), m_read(std::move(read))
        {
            std::lock_guard lock(m_state.mutex);
            m_state.helpable.push_back(m_read);
            m_state.workArrived.notify_all();
        }
        ~Offer()
        {
            std::lock_guard lock(m_state.mutex);
            std::erase(m_state.helpable, m_read);
        }
        Offer(const Offer&) = delete;
        Offer& operator=(const Offer&) = delete;

    private:
        State& m_state;
        std::shared_ptr<SharedRead> m_read;
    };
    const SharedRead::End end = [&] {
        const Offer offer(*this, read);
        return read->run(reader, reason);
    }();
    *bytesRead = read->bytesRead();
    return end;
}

SharedRead::End DigestBatch::State::readAlone(FileReader& reader, const AlgorithmSet& algorithms, WorkerTools& tools,
                                              quint64* bytesRead, QString* reason)
{
    // One worker reads and digests, block after block: none of the hand-over that sharing the blocks needs, which
    // would cost a small file as much as its digests.
    const std::span<std::byte> block = tools.ring.block(0);
    for (;;) {
        if (cancelled.load(std::memory_order_relaxed)) {
            return SharedRead::End::Cancelled;
        }
        const qint64 count = reader.read(block);
        if (count < 0) {
            *reason = reader.errorString();
            return SharedRead::End::Failed;
        }
        const std::span<const std::byte> data = block.first(static_cast<std::size_t>(count));
        algorithms.forEach([&](HashAlgorithm algorithm) { tools.digestSlots[indexOf(algorithm)].add(data); });
        *bytesRead += static_cast<quint64>(count);
        bytesDone.fetch_add(static_cast<quint64>(count), std::memory_order_relaxed);
        // A short block is the last: the reader fills the block unless the file holds no more.
        if (static_cast<std::size_t>(count) < block.size()) {
            return SharedRead::End::Done;
        }
    }
}

FileDigests DigestBatch::State::serve(const DigestRequest& request, WorkerTools& tools)
{
    try {
        return digest(request, tools);
    } catch (const std::exception& error) {
        return failed(DigestFailure::ReadError, unexpectedFailure(error.what()));
    } catch (...) {
        return failed(DigestFailure::ReadError, unexpectedFailure("unknown"));
    }
}

void DigestBatch::State::publish(Entry& entry, FileDigests result)
{
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
                FileDigests result = serve(entry->request, tools);
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
            workArrived.wait(lock);
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
            state.threads.emplace_back([&state] { state.work(); });
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
    {
        std::lock_guard lock(m_state->mutex);
        m_state->submitted.push_back(entry);
        m_state->standardInputsNotTaken += entry->request.fromStandardInput ? 1 : 0;
        m_state->waiting.push_back(std::move(entry));
        m_state->filesWaiting.store(m_state->waiting.size(), std::memory_order_relaxed);
    }
    m_state->workArrived.notify_one();
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
        FileDigests result = state.serve(entry->request, tools);
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

quint64 DigestBatch::bytesDone() const
{
    return m_state->bytesDone.load(std::memory_order_relaxed);
}

void DigestBatch::cancel()
{
    m_state->cancelled.store(true, std::memory_order_relaxed);
}
