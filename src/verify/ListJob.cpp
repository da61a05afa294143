#include "ListJob.h"

#include "BesideDigests.h"
#include "CheckRun.h"
#include "ChecksumListReader.h"
#include "DigestAnswer.h"
#include "ListFile.h"
#include "VerifyLoop.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ListJob", text);
}

// Marks entries that give one name different digests of one algorithm: at most one of them can be right, and a list
// built to mislead may count on the first one being shown.
// Each line that disagrees with the first line for the same name and algorithms is one problem: a list of many
// lines for one name costs a problem a line, never one a pair.
void markConflicts(std::vector<CheckRow>& rows, QStringList& problems)
{
    QHash<QByteArray, std::size_t> firstOf;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        QByteArray key = rows[i].path + '\0';
        rows[i].candidates.forEach(
            [&key](HashAlgorithm algorithm) { key += static_cast<char>('A' + indexOf(algorithm)); });
        const auto found = firstOf.constFind(key);
        if (found == firstOf.cend()) {
            firstOf.insert(key, i);
            continue;
        }
        CheckRow& first = rows[*found];
        CheckRow& second = rows[i];
        if (first.expected == second.expected) {
            continue;
        }
        first.conflicting = second.conflicting = true;
        problems.append(tr("Lines %1 and %2 give different %3 digests for \u201c%4\u201d.")
                            .arg(first.lineNumber)
                            .arg(second.lineNumber)
                            .arg(algorithmText(first), nameText(first.name)));
        second.note = tr("another digest on line %1").arg(first.lineNumber);
        if (first.note.isEmpty()) {
            first.note = tr("another digest on line %1").arg(second.lineNumber);
        }
    }
}

bool readList(const QByteArray& listPath, std::vector<CheckRow>& rows, QStringList& problems)
{
    QString error;
    QFile file;
    if (!openListFile(listPath, file, &error)) {
        problems.append(tr("Cannot read the list: %1").arg(error));
        return false;
    }
    ChecksumListReader reader(file, ParserOptions{});
    const QByteArray folder = folderOfList(listPath);
    const std::optional<HashAlgorithm> named = algorithmNamedBy(listPath);
    while (std::optional<ListLine> line = reader.next()) {
        if (line->parsed.kind != LineKind::Entry) {
            problems.append(tr("Line %1 could not be understood.").arg(line->number));
            continue;
        }
        const ChecksumEntry& entry = line->parsed.entry;
        CheckRow row;
        row.name = entry.name;
        row.path = resolveEntryName(entry.name, folder);
        row.candidates = candidatesFor(entry, named);
        row.algorithm = onlyAlgorithm(row.candidates);
        row.expected = entry.expected;
        row.outsideFolder = leadsOutsideFolder(entry.name);
        row.lineNumber = line->number;
        rows.push_back(std::move(row));
    }
    if (reader.failed()) {
        problems.append(tr("The list could not be read to its end: %1").arg(reader.errorString()));
    }
    if (rows.empty() && problems.isEmpty()) {
        problems.append(tr("The list holds no checksum lines."));
    }
    return true;
}

} // namespace

QByteArray folderOfList(const QByteArray& listPath)
{
    const qsizetype slash = listPath.lastIndexOf('/');
    return slash < 0 ? QByteArray() : listPath.first(slash + 1);
}

void checkListJob(CheckRun& run, const QByteArray& listPath, const DigestBatchOptions& options)
{
    std::vector<CheckRow> rows;
    Delivery first;
    if (!readList(listPath, rows, first.problems)) {
        first.finished = true;
        run.post(std::move(first));
        return;
    }
    markConflicts(rows, first.problems);
    // Sizes for the progress bar, looked at here so that the window's thread never waits on the file system.
    quint64 total = 0;
    QString unused;
    for (CheckRow& row : rows) {
        if (run.isCancelled()) {
            return;
        }
        if (const std::optional<FileStatus> status = RegularFile::status(row.path, &unused)) {
            row.size = status->identity.size;
            total += static_cast<quint64>(row.size);
        }
    }
    // What the batch needs of each row, kept here: the rows themselves go to the owner.
    struct Wanted
    {
        QByteArray path;
        AlgorithmSet candidates;
        HashAlgorithm shown;
        QByteArray expected;
    };
    std::vector<Wanted> wanted;
    wanted.reserve(rows.size());
    for (const CheckRow& row : rows) {
        wanted.push_back({row.path, row.candidates, shownAlgorithm(row), row.expected});
    }
    first.newRows = std::move(rows);
    first.totalBytes = total;
    run.post(std::move(first));

    DigestBatch batch(options);
    const AttachedBatch attached(run, batch);
    // Enough files asked for ahead to keep every worker busy; few enough to bound memory.
    constexpr std::size_t kAhead = 64;
    std::size_t submitted = 0;
    std::size_t answered = 0;
    while (answered < wanted.size() && !run.isCancelled()) {
        while (submitted < wanted.size() && submitted - answered < kAhead) {
            batch.submit({wanted[submitted].path, wanted[submitted].candidates, false});
            ++submitted;
        }
        const FileDigests result = batch.takeNext();
        const Wanted& entry = wanted[answered];
        EntryAnswer found = answerEntry(result, entry.candidates, entry.shown, entry.expected);
        RowAnswer answer;
        answer.row = static_cast<qsizetype>(answered);
        answer.state = found.state;
        answer.algorithm = found.algorithm;
        answer.actual = std::move(found.actual);
        answer.note = std::move(found.note);
        answer.bytesRead = result.bytesRead;
        ++answered;
        Delivery delivery;
        delivery.answers.push_back(std::move(answer));
        delivery.finished = answered == wanted.size();
        run.post(std::move(delivery));
    }
    if (wanted.empty()) {
        Delivery done;
        done.finished = true;
        run.post(std::move(done));
    }
}
