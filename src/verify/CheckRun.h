#pragma once

#include "CheckRow.h"
#include "DetachedWorker.h"
#include "FileDigests.h"
#include "FileReader.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <vector>

class DigestBatch;

// One row's answer from a worker.
struct RowAnswer
{
    qsizetype row = 0;
    CheckState state = CheckState::Waiting;
    std::optional<HashAlgorithm> algorithm; // the candidate that matched
    QByteArray actual;
    QString note;
    quint64 bytesRead = 0;
    bool outsideFolder = false; // its file, links followed, lies outside the list's folder
};

// A row found, later in its list, to share its name and algorithm with a line giving another digest.
struct RowConflict
{
    qsizetype row = 0;
    QString note;
};

// A comparison's outcome: identical, or the first differing byte.
struct Comparison
{
    bool identical = false;
    bool sameFile = false;       // both names lead to one file (one device and inode): identical without a read
    quint64 firstDifference = 0; // from 0, when not identical; the end of the shorter file when it is the other's start
    qint64 firstSize = 0;
    qint64 secondSize = 0;
};

// What a worker has found since the owner last took it. Gathered under the run's lock and handed over whole, so a
// run of small files costs one queued call and one model update.
struct Delivery
{
    std::vector<CheckRow> newRows;
    std::vector<RowAnswer> answers;
    std::vector<RowConflict> conflicts; // of rows delivered before
    std::vector<qsizetype> stalled;     // rows whose file system has not answered for a while
    std::vector<qint64> sizes;          // of a list's entries in order, after those delivered before
    QStringList problems;
    QStringList unreadLines;              // a list's lines not understood, told apart from the other problems
    quint64 unlistedUnread = 0;           // more lines not understood, counted only
    QList<QByteArray> foundFiles;         // checksum files found beside a data file
    std::optional<quint64> totalBytes;    // every byte the run will read, once known
    std::optional<FileDigests> digests;   // a data file's digests from one read
    std::optional<AlgorithmSet> readFor;  // what a data file is being read for, once chosen
    std::optional<FileIdentity> identity; // the data file as it was read, or as it was looked at again
    std::optional<Comparison> comparison;
    bool finished = false;
    bool dataFileIsPipe = false;          // the data file given is a pipe: a list, to be read as it comes
    std::optional<bool> waitingForWriter; // a piped list's writer has not come yet; false once it has

    void mergeFrom(Delivery&& later);
};

// What one worker shares with the session that started it: findings travel in a worker mailbox (one queued call of
// the receiver's method for whatever gathers before the owner takes it; nothing once abandoned). The worker owns its
// share, so it may outlive the session.
class CheckRun : public std::enable_shared_from_this<CheckRun>
{
public:
    CheckRun(QObject* receiver, const char* deliverMethod);

    // Worker side.
    bool isCancelled() const { return m_cancelled.load(std::memory_order_relaxed); }
    void post(Delivery delivery);
    // Rows posted and not yet taken by the owner: a worker far ahead of the window waits rather than pile them up.
    qsizetype rowsNotTaken() const { return m_rowsNotTaken.load(std::memory_order_relaxed); }
    // The batch whose bytes count as progress while it reads; detached with the bytes it read before it is gone.
    void attach(DigestBatch* batch);
    void detach();
    void addBytes(quint64 count) { m_bytesBefore.fetch_add(count, std::memory_order_relaxed); }

    // Owner side.
    Delivery take();
    quint64 bytesDone() const;
    // Nothing is delivered after this returns; reads stop at their next block; the worker is never waited for.
    void abandon();

    // Runs job on a thread of its own, never waited for; a job that throws finishes the run with the reason.
    static void start(const std::shared_ptr<CheckRun>& run, std::function<void(CheckRun&)> job);
    // Runs job beside the run's own, never waited for; it does not finish the run, and its failure only ends it.
    bool startBeside(std::function<void(CheckRun&)> job);
    // Workers of ours still running, abandoned ones included (LiveWorker counts them all).
    static int liveWorkers();

private:
    const std::shared_ptr<WorkerMailbox<Delivery>> m_mailbox;
    mutable std::mutex m_mutex; // guards the batch
    DigestBatch* m_batch = nullptr;
    std::atomic<bool> m_cancelled{false};
    std::atomic<quint64> m_bytesBefore{0};
    std::atomic<qsizetype> m_rowsNotTaken{0};
};

// Attaches a batch to a run for as long as it lives in a worker's scope, so the owner never reads a batch that is gone.
class AttachedBatch
{
public:
    AttachedBatch(CheckRun& run, DigestBatch& batch) : m_run(run) { m_run.attach(&batch); }
    ~AttachedBatch() { m_run.detach(); }
    AttachedBatch(const AttachedBatch&) = delete;
    AttachedBatch& operator=(const AttachedBatch&) = delete;

private:
    CheckRun& m_run;
};
