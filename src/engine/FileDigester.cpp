#include "FileDigester.h"

#include "WatchedReader.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <QCoreApplication>

namespace {

QString unexpectedFailure(const char* what)
{
    return QCoreApplication::translate("DigestBatch", "Unexpected failure while digesting: %1")
        .arg(QString::fromLocal8Bit(what));
}

FileDigests failed(DigestFailure kind, QString reason)
{
    FileDigests result;
    result.failure = kind;
    result.reason = std::move(reason);
    return result;
}

FileDigests openFailure(const OpenedFile& opened, bool systemWordsForFolders)
{
    const bool folder = opened.systemError == EISDIR && systemWordsForFolders;
    FileDigests result = failed(failureForSystemError(opened.systemError, opened.beingWritten),
                                folder ? qt_error_string(EISDIR) : opened.error);
    result.systemError = opened.systemError;
    return result;
}

LanePlan planFor(const AlgorithmSet& algorithms, const LanePlan& given, bool spread)
{
    // Alone, one pass feeds every digest. Shared, each lane is taken block by block by whoever is free: by default
    // each digest is a lane of its own.
    LanePlan plan;
    if (!spread) {
        plan.emplace_back();
        algorithms.forEach([&](HashAlgorithm algorithm) { plan.back().push_back(algorithm); });
        return plan;
    }
    AlgorithmSet placed;
    for (const std::vector<HashAlgorithm>& group : given) {
        std::vector<HashAlgorithm> lane;
        for (HashAlgorithm algorithm : group) {
            if (algorithms.contains(algorithm) && !placed.contains(algorithm)) {
                lane.push_back(algorithm);
                placed.insert(algorithm);
            }
        }
        if (!lane.empty()) {
            plan.push_back(std::move(lane));
        }
    }
    algorithms.forEach([&](HashAlgorithm algorithm) {
        if (!placed.contains(algorithm)) {
            plan.push_back({algorithm});
        }
    });
    return plan;
}

SharedRead::End readShared(FileReader& reader, const LanePlan& plan, const BatchContext& batch, WorkerTools& tools,
                           quint64* bytesRead, QString* reason)
{
    auto read = std::make_shared<SharedRead>(tools.ring, plan, tools.digestSlots, batch.cancelled, batch.bytesDone,
                                             batch.filesWaiting);
    // Offered to idle workers for as long as this worker's blocks and digests serve it, and not a moment longer.
    class Offer
    {
    public:
        Offer(HelpWanted& board, std::shared_ptr<SharedRead> read) : m_board(board), m_read(std::move(read))
        {
            m_board.offer(m_read);
        }
        ~Offer() { m_board.withdraw(m_read); }
        Offer(const Offer&) = delete;
        Offer& operator=(const Offer&) = delete;

    private:
        HelpWanted& m_board;
        std::shared_ptr<SharedRead> m_read;
    };
    const SharedRead::End end = [&] {
        const Offer offer(batch.helpWanted, read);
        return read->run(reader, reason);
    }();
    *bytesRead = read->bytesRead();
    return end;
}

SharedRead::End readAlone(FileReader& reader, const AlgorithmSet& algorithms, const BatchContext& batch,
                          WorkerTools& tools, quint64* bytesRead, QString* reason)
{
    // One worker reads and digests, block after block: none of the hand-over that sharing the blocks needs, which
    // would cost a small file as much as its digests.
    const std::span<std::byte> block = tools.ring.block(0);
    for (;;) {
        if (batch.cancelled.raised()) {
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
        batch.bytesDone.fetch_add(static_cast<quint64>(count), std::memory_order_relaxed);
        // A short block is the last: the reader fills the block unless the file holds no more.
        if (static_cast<std::size_t>(count) < block.size()) {
            return SharedRead::End::Done;
        }
    }
}

DigestFailure failureOf(SharedRead::End end, WatchedReader* watched, bool failedAtEnd)
{
    if (end == SharedRead::End::Cancelled) {
        return DigestFailure::Cancelled;
    }
    if (end != SharedRead::End::Failed && !failedAtEnd) {
        return DigestFailure::None;
    }
    return !watched                  ? DigestFailure::ReadError
           : watched->changed()      ? DigestFailure::ChangedWhileRead
           : watched->beingWritten() ? DigestFailure::BeingWritten
                                     : DigestFailure::ReadError;
}

// The digests of the slots, or the refusals, once the read has ended well; the slots are let go otherwise.
void takeDigests(FileDigests& result, const AlgorithmSet& algorithms, WorkerTools& tools)
{
    algorithms.forEach([&](HashAlgorithm algorithm) {
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
    if (!result.isOk()) {
        return;
    }
    algorithms.forEach([&](HashAlgorithm algorithm) {
        if (result.isOk() && !result.refusals[indexOf(algorithm)].isEmpty()) {
            result.failure = DigestFailure::DigestRefused;
            result.reason = result.refusals[indexOf(algorithm)];
        }
    });
}

// readAgain, when given, is set where only the change time moved: the digests are then those of the read, to be
// compared with a second one.
FileDigests readAll(FileReader& reader, WatchedReader* watched, const DigestRequest& request, const BatchContext& batch,
                    WorkerTools& tools, bool* readAgain = nullptr)
{
    // Lanes pay only where there are blocks enough to share; a stream's length is not known.
    const bool large = !watched || reader.identity().size > static_cast<qint64>(2 * batch.options.blockSize);
    const LanePlan plan = planFor(request.algorithms, batch.options.lanes, large && batch.workerCount > 1);
    request.algorithms.forEach([&](HashAlgorithm algorithm) {
        tools.digestSlots[indexOf(algorithm)].start(algorithm, batch.options.createHasher);
    });

    QString reason;
    quint64 bytesRead = 0;
    const SharedRead::End end = plan.size() > 1
                                    ? readShared(reader, plan, batch, tools, &bytesRead, &reason)
                                    : readAlone(reader, request.algorithms, batch, tools, &bytesRead, &reason);
    const bool failedAtEnd = end == SharedRead::End::Done && watched && !watched->unchangedAtEnd();
    if (failedAtEnd) {
        reason = watched->errorString();
    }

    FileDigests result;
    result.bytesRead = bytesRead;
    result.failure = failureOf(end, watched, failedAtEnd);
    if (readAgain && failedAtEnd && watched->onlyChangeTimeMoved()) {
        *readAgain = true;
        result.failure = DigestFailure::None;
    }
    if (result.failure != DigestFailure::None && result.failure != DigestFailure::Cancelled) {
        result.reason = reason;
    }
    takeDigests(result, request.algorithms, tools);
    return result;
}

OpenedFile openFile(const DigestRequest& request, const BatchContext& batch)
{
    return request.fromStandardInput ? AnyFile::standardInput() : batch.options.opener(request.nativePath);
}

// A stream waits for its turn. Opened anew after waiting: a FIFO opened again waits for a writer of its own, as
// reading the files one by one would; standard input goes on from where the turn before left it.
void waitForTurn(OpenedFile& opened, const DigestRequest& request, const BatchContext& batch,
                 std::optional<quint64> turn, quint64 openedAt)
{
    if (!turn || !batch.streamTurns) {
        return;
    }
    std::optional<StreamTurns::Stream> stream;
    if (opened.reader && (request.fromStandardInput || !opened.checkIdentity)) {
        const FileIdentity identity = opened.reader->identity();
        stream = StreamTurns::Stream{identity.device, identity.inode};
    }
    const bool waited = batch.streamTurns->await(*turn, stream);
    const bool stale = stream && batch.streamTurns->endedSince(*stream, openedAt);
    if ((waited || stale) && !request.fromStandardInput) {
        opened = OpenedFile{};
        opened = openFile(request, batch);
    }
}

FileDigests openAndRead(const DigestRequest& request, const BatchContext& batch, WorkerTools& tools,
                        std::optional<quint64> turn)
{
    if (batch.cancelled.raised()) {
        return failed(DigestFailure::Cancelled, QString());
    }
    const quint64 openedAt = turn && batch.streamTurns ? batch.streamTurns->moment() : 0;
    OpenedFile opened = openFile(request, batch);
    waitForTurn(opened, request, batch, turn, openedAt);
    if (!opened.reader) {
        return openFailure(opened, batch.options.systemWordsForFolders);
    }
    if (request.expectedVersion && *request.expectedVersion != opened.reader->identity()) {
        return failed(DigestFailure::ChangedWhileRead, WatchedReader::changedWhileReadReason());
    }
    if (!opened.checkIdentity) {
        return readAll(*opened.reader, nullptr, request, batch, tools);
    }
    bool readAgain = false;
    FileDigests first = [&] {
        WatchedReader watched(std::move(opened.reader));
        return readAll(watched, &watched, request, batch, tools, &readAgain);
    }();
    if (!readAgain || !first.isOk()) {
        return first;
    }
    // Only the change time moved: a second read that sees nothing move and gives the same digests shows that the
    // first was of one version too.
    OpenedFile again = openFile(request, batch);
    FileDigests second = failed(DigestFailure::ChangedWhileRead, WatchedReader::changedWhileReadReason());
    if (again.reader && again.checkIdentity) {
        WatchedReader watched(std::move(again.reader));
        FileDigests reread = readAll(watched, &watched, request, batch, tools);
        if (!reread.isOk() || reread.digests == first.digests) {
            second = std::move(reread);
        }
    }
    return second;
}

} // namespace

FileDigests digestFile(const DigestRequest& request, const BatchContext& batch, WorkerTools& tools,
                       std::optional<quint64> turn)
{
    try {
        return openAndRead(request, batch, tools, turn);
    } catch (const std::exception& error) {
        return failed(DigestFailure::ReadError, unexpectedFailure(error.what()));
    } catch (...) {
        return failed(DigestFailure::ReadError, unexpectedFailure("unknown"));
    }
}
