#include "ListJob.h"

#include "BatchSource.h"
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

// The verify loop's events as the window's deliveries: a row for each entry as it is read, a problem for each line
// not understood or disagreeing, an answer for each verdict.
class RowPoster : public VerifyObserver
{
public:
    RowPoster(CheckRun& run, std::vector<qint64> sizes, std::optional<HashAlgorithm> named)
        : m_run(run), m_sizes(std::move(sizes)), m_named(named)
    {}

    void onEntryRead(const VerifyEntry& read) override
    {
        const ChecksumEntry& entry = read.line.parsed.entry;
        CheckRow row;
        row.name = entry.name;
        row.path = read.path;
        row.candidates = read.candidates;
        row.algorithm = onlyAlgorithm(row.candidates);
        row.expected = entry.expected;
        row.outsideFolder = leadsOutsideFolder(entry.name);
        row.lineNumber = read.line.number;
        // Sizes from the pass that totalled them: the list is the same file, read again from its start.
        const auto index = static_cast<std::size_t>(m_rows);
        row.size = index < m_sizes.size() ? m_sizes[index] : -1;
        Delivery delivery;
        markConflict(row, delivery);
        delivery.newRows.push_back(std::move(row));
        ++m_rows;
        m_run.post(std::move(delivery));
    }

    void onVerdict(const VerifyEvent& event) override
    {
        Delivery delivery;
        if (event.outcome == VerifyOutcome::Malformed) {
            const bool blake2b = (event.tag ? event.tag : m_named) == HashAlgorithm::Blake2b;
            delivery.problems.append(event.unsupportedDigits > 0 && blake2b
                                         ? tr("Line %1: %2 is not supported.")
                                               .arg(event.lineNumber)
                                               .arg(blake2bName(event.unsupportedDigits))
                                         : tr("Line %1 could not be understood.").arg(event.lineNumber));
            m_anyMalformed = true;
            m_run.post(std::move(delivery));
            return;
        }
        RowAnswer answer;
        answer.row = m_answered++;
        answer.bytesRead = event.bytesRead;
        switch (event.outcome) {
        case VerifyOutcome::Matched:
            answer.state = CheckState::Ok;
            answer.algorithm = event.algorithm;
            answer.actual = event.actual;
            break;
        case VerifyOutcome::Mismatched:
            answer.state = CheckState::Mismatch;
            answer.actual = event.actual;
            break;
        default:
            answer.state = stateForFailure(event.failure);
            answer.note = event.failure == DigestFailure::Cancelled ? QString() : event.reason;
            break;
        }
        delivery.answers.push_back(std::move(answer));
        m_run.post(std::move(delivery));
    }

    bool stopRequested() const override { return m_run.isCancelled(); }

    // Whether the list held anything to show: an entry or a line not understood.
    bool anyLine() const { return m_rows > 0 || m_anyMalformed; }

private:
    // Entries that give one name different digests of one algorithm: at most one of them can be right, and a list
    // built to mislead may count on the first one being shown. Each line that disagrees with the first line for the
    // same name and algorithms is one problem: a list of many lines for one name costs a problem a line, never one
    // a pair.
    void markConflict(CheckRow& row, Delivery& delivery)
    {
        QByteArray key = row.path + '\0';
        row.candidates.forEach([&key](HashAlgorithm algorithm) { key += static_cast<char>('A' + indexOf(algorithm)); });
        const auto found = m_firstOf.find(key);
        if (found == m_firstOf.end()) {
            m_firstOf.insert(key, {m_rows, row.lineNumber, row.expected, false});
            return;
        }
        First& first = *found;
        if (first.expected == row.expected) {
            return;
        }
        row.conflicting = true;
        delivery.problems.append(tr("Lines %1 and %2 give different %3 digests for \u201c%4\u201d.")
                                     .arg(first.lineNumber)
                                     .arg(row.lineNumber)
                                     .arg(algorithmText(row), nameText(row.name)));
        row.note = tr("another digest on line %1").arg(first.lineNumber);
        if (!first.marked) {
            first.marked = true;
            delivery.conflicts.push_back({first.row, tr("another digest on line %1").arg(row.lineNumber)});
        }
    }

    struct First
    {
        qsizetype row;
        quint64 lineNumber;
        QByteArray expected;
        bool marked;
    };

    CheckRun& m_run;
    std::vector<qint64> m_sizes;
    std::optional<HashAlgorithm> m_named; // by the list's file name
    QHash<QByteArray, First> m_firstOf;
    qsizetype m_rows = 0;
    qsizetype m_answered = 0;
    bool m_anyMalformed = false;
};

} // namespace

QByteArray folderOfList(const QByteArray& listPath)
{
    const qsizetype slash = listPath.lastIndexOf('/');
    return slash < 0 ? QByteArray() : listPath.first(slash + 1);
}

void checkListJob(CheckRun& run, const QByteArray& listPath, const DigestBatchOptions& options)
{
    Delivery first;
    first.finished = true; // unless the list can be read
    QFile file;
    QString error;
    if (!openListFile(listPath, file, &error)) {
        first.problems.append(tr("Cannot read the list: %1").arg(error));
        run.post(std::move(first));
        return;
    }
    VerifyOptions verify;
    verify.baseFolder = folderOfList(listPath);
    verify.dashIsStandardInput = false; // "-" in a list is a file of that name in the list's folder
    verify.window = 64;                 // enough files asked for ahead to keep every worker busy
    const std::optional<HashAlgorithm> named = algorithmNamedBy(listPath);
    verify.candidates = [named](const ChecksumEntry& entry) { return candidatesFor(entry, named); };
    ParserOptions parser;
    parser.named = named; // "B2SUMS" of another length than ours is BLAKE2b cut short, not a SHA of that length
    // Sizes for the progress bar first, looked at here so that the window's thread never waits on the file system.
    std::vector<qint64> sizes;
    first.totalBytes = listedBytes(file, parser, verify, &sizes, [&run] { return run.isCancelled(); });
    if (run.isCancelled()) {
        return;
    }
    if (!file.seek(0)) {
        first.problems.append(tr("Cannot read the list: %1").arg(file.errorString()));
        run.post(std::move(first));
        return;
    }
    first.finished = false;
    run.post(std::move(first));

    ChecksumListReader reader(file, parser);
    RowPoster poster(run, std::move(sizes), named);
    {
        DigestBatch batch(options);
        const AttachedBatch attached(run, batch);
        BatchSource source(batch);
        verifyList(reader, source, poster, verify);
    }
    if (run.isCancelled()) {
        return;
    }
    Delivery last;
    if (reader.failed()) {
        last.problems.append(tr("The list could not be read to its end: %1").arg(reader.errorString()));
    } else if (!poster.anyLine()) {
        last.problems.append(tr("The list holds no checksum lines."));
    }
    last.finished = true;
    run.post(std::move(last));
}
