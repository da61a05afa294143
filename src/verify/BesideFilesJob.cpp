#include "BesideFilesJob.h"

#include "CheckRun.h"
#include "DigestAnswer.h"
#include "FileJob.h"

#include <QCoreApplication>

namespace {

// Files asked for ahead of the one being answered: enough to keep the engine's workers busy.
constexpr std::size_t kAhead = 8;

// One file and the rows it is checked against.
struct Planned
{
    QByteArray path;
    AlgorithmSet algorithms;
    qsizetype firstRow = 0;
    std::vector<CheckRow> rows;
};

// The row of a file with nothing published beside it: only opened, so that a missing file, a folder or a file open
// for writing says so, and none is read for nothing.
CheckRow unpublishedRow(const QByteArray& path, const DigestBatchOptions& options)
{
    CheckRow row;
    row.name = path.sliced(path.lastIndexOf('/') + 1);
    const OpenedFile opened = options.opener ? options.opener(path) : RegularFile::open(path);
    if (opened.reader) {
        row.state = CheckState::NotCompared;
        row.note = QCoreApplication::translate("BesideFilesJob", "no published digest found beside it");
    } else {
        row.state = stateForFailure(failureForSystemError(opened.systemError, opened.beingWritten));
        row.note = opened.error;
    }
    return row;
}

RowAnswer answerFor(const CheckRow& row, qsizetype index, const FileDigests& digests)
{
    RowAnswer answer;
    answer.row = index;
    if (!digests.isOk() && digests.failure != DigestFailure::DigestRefused) {
        answer.state = stateForFailure(digests.failure);
        answer.note = digests.failure == DigestFailure::Cancelled ? QString() : digests.reason;
        return answer;
    }
    std::optional<HashAlgorithm> matched;
    row.candidates.forEach([&](HashAlgorithm algorithm) {
        if (!matched && !digests.digest(algorithm).isEmpty() && digests.digest(algorithm) == row.expected) {
            matched = algorithm;
        }
    });
    const HashAlgorithm shown = matched.value_or(shownAlgorithm(row));
    if (digests.digest(shown).isEmpty()) {
        answer.state = CheckState::Unreadable; // the library refused the one digest that could answer
        answer.note = digests.refusals[indexOf(shown)];
        return answer;
    }
    answer.state = matched ? CheckState::Ok : CheckState::Mismatch;
    answer.algorithm = matched;
    answer.actual = digests.digest(shown);
    return answer;
}

void answer(CheckRun& run, const Planned& file, const FileDigests& digests)
{
    Delivery delivery;
    for (std::size_t i = 0; i < file.rows.size(); ++i) {
        delivery.answers.push_back(answerFor(file.rows[i], file.firstRow + static_cast<qsizetype>(i), digests));
    }
    delivery.answers.front().bytesRead = digests.bytesRead; // the file's bytes, counted once for all its rows
    run.post(std::move(delivery));
}

} // namespace

void checkBesideFilesJob(CheckRun& run, const QList<QByteArray>& paths, const DigestBatchOptions& options)
{
    Delivery found;
    std::vector<Planned> toRead;
    quint64 totalBytes = 0;
    qsizetype rows = 0;
    for (const QByteArray& path : paths) {
        if (run.isCancelled()) {
            return;
        }
        Planned file{path, {}, rows, {}};
        Delivery beside = publishedBeside(path, file.algorithms);
        if (beside.newRows.empty()) {
            found.newRows.push_back(unpublishedRow(path, options));
            found.sizes.push_back(-1); // answered as it is found: nothing to read
            ++rows;
            continue;
        }
        QString unused;
        const std::optional<FileStatus> status = RegularFile::status(path, &unused);
        for (const CheckRow& row : beside.newRows) {
            found.sizes.push_back(status ? status->identity.size : -1); // for the row's own progress
            file.rows.push_back(row);
        }
        totalBytes += status ? static_cast<quint64>(status->identity.size) : 0;
        rows += static_cast<qsizetype>(beside.newRows.size());
        found.mergeFrom(std::move(beside));
        toRead.push_back(std::move(file));
    }
    found.totalBytes = totalBytes;
    found.finished = toRead.empty();
    run.post(std::move(found));
    if (toRead.empty()) {
        return;
    }
    {
        DigestBatch batch(options);
        const AttachedBatch attached(run, batch);
        std::size_t submitted = 0;
        for (const Planned& file : toRead) {
            while (submitted < toRead.size() && batch.pending() < kAhead) {
                batch.submit({toRead[submitted].path, toRead[submitted].algorithms, false});
                ++submitted;
            }
            answer(run, file, batch.takeNext());
            if (run.isCancelled()) {
                return;
            }
        }
    }
    Delivery done;
    done.finished = true;
    run.post(std::move(done));
}
