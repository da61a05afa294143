#include "ListRows.h"

#include "BesideDigests.h"
#include "ChecksumListReader.h"
#include "DigestAnswer.h"
#include "LinkedOutside.h"
#include "StallWatch.h"

#include <QCoreApplication>
#include <thread>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ListJob", text);
}

constexpr qsizetype kMostGathered = 4096;
constexpr quint64 kListedUnread = 1000;
constexpr qsizetype kMostNotTaken = 64 * 1024;
constexpr qint64 kMostHeldMs = 100;
// A call to the file system this long is one that does not answer, as far as a row can tell.
constexpr std::chrono::milliseconds kStalledAfter{1000};

} // namespace

ListRows::ListRows(CheckRun& run, StallWatch& watch, LinkedOutside& outside)
    : m_run(run), m_watch(watch), m_outside(outside), m_seed(static_cast<std::size_t>(QHashSeed::globalSeed()))
{
    m_sinceFlush.start();
    m_sinceStallLook.start();
}

void ListRows::onEntryRead(const VerifyEntry& read)
{
    const ChecksumEntry& entry = read.line.parsed.entry;
    CheckRow row;
    // A list that names one file or gives one digest many times holds them once: the rows share the bytes.
    row.name = entry.name == m_lastName ? m_lastName : (m_lastName = entry.name);
    row.candidates = read.candidates;
    row.algorithm = onlyAlgorithm(row.candidates);
    row.expected = entry.expected == m_lastExpected ? m_lastExpected : (m_lastExpected = entry.expected);
    row.outsideFolder = leadsOutsideFolder(entry.name);
    row.lineNumber = read.line.number;
    markConflict(row);
    m_out.emplace(m_rows, read.path);
    m_pending.newRows.push_back(std::move(row));
    ++m_rows;
    gathered();
}

void ListRows::onVerdict(const VerifyEvent& event)
{
    if (event.outcome == VerifyOutcome::Malformed) {
        // A list of a million lines not understood is not a million problems to read: the first are listed, the
        // rest counted.
        if (m_unread < kListedUnread) {
            m_pending.unreadLines.append(lineTroubleText(event.lineNumber, event.trouble));
        } else {
            if (m_unread == kListedUnread) {
                m_pending.unreadLines.append(
                    tr("Lines not understood after the first %1 are counted, not listed.").arg(kListedUnread));
            }
            ++m_pending.unlistedUnread;
        }
        ++m_unread;
        m_anyMalformed = true;
        gathered();
        return;
    }
    RowAnswer answer;
    answer.row = static_cast<qsizetype>(event.entryIndex);
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
        if (event.failure != DigestFailure::Cancelled) {
            // Many rows failing alike share one note rather than each holding a copy.
            if (event.reason != m_lastNote) {
                m_lastNote = event.reason;
            }
            answer.note = m_lastNote;
        }
        break;
    }
    if (const auto out = m_out.find(answer.row); out != m_out.end()) {
        answer.outsideFolder = m_outside.contains(out->second);
        m_out.erase(out);
    }
    m_pending.answers.push_back(std::move(answer));
    gathered();
}

void ListRows::onStillWaiting()
{
    tellStalled();
    flush();
}

void ListRows::gathered()
{
    ++m_pendingCount;
    // The clock is asked every few events: asked at each, it costs a list of small files a tenth of its time.
    if (m_pendingCount % 64 != 0 && m_pendingCount < kMostGathered) {
        return;
    }
    if (m_sinceStallLook.elapsed() >= 250) {
        tellStalled();
    }
    if (m_pendingCount >= kMostGathered || m_sinceFlush.elapsed() >= kMostHeldMs) {
        flush();
    }
}

void ListRows::flush()
{
    m_sinceFlush.start();
    if (m_pendingCount == 0 && m_pending.stalled.empty() && m_pending.unlistedUnread == 0) {
        return;
    }
    m_pendingCount = 0;
    m_run.post(std::exchange(m_pending, {}));
    // Rows read far ahead of what the window has taken would only pile up in memory while it catches up.
    while (m_run.rowsNotTaken() > kMostNotTaken && !m_run.isCancelled()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void ListRows::tellStalled()
{
    m_sinceStallLook.start();
    for (const QByteArray& path : m_watch.newlyStalled(kStalledAfter)) {
        for (const auto& [row, rowPath] : m_out) {
            if (rowPath == path) {
                m_pending.stalled.push_back(row);
            }
        }
    }
}

// "Lines 1 and 3 give different SHA-256 digests for “a.txt”, spelt “./a.txt” on line 3.": the file by its steps
// from the list's folder, and each line's spelling that is not those steps alone.
QString ListRows::conflictText(const First& first, const QByteArray& firstSpelling, const CheckRow& row,
                               const QByteArray& lexical)
{
    QStringList spellings;
    const auto spelling = [&spellings](const QByteArray& name, quint64 line) {
        spellings.append(tr("\u201c%1\u201d on line %2").arg(nameText(name)).arg(line));
    };
    if (!firstSpelling.isEmpty()) {
        spelling(firstSpelling, first.lineNumber);
    }
    if (row.name != lexical) {
        spelling(row.name, row.lineNumber);
    }
    QString text = tr("Lines %1 and %2 give different %3 digests for \u201c%4\u201d")
                       .arg(first.lineNumber)
                       .arg(row.lineNumber)
                       .arg(algorithmText(row), nameText(lexical));
    if (!spellings.isEmpty()) {
        text += tr(", spelt %1").arg(spellings.join(tr(" and ")));
    }
    return text + QLatin1Char('.');
}

// Entries that give one name different digests of one algorithm: at most one of them can be right, and a list built
// to mislead may count on the first one being shown. Names are compared as the folder's steps they take, so that
// "a", "./a" and "sub/../a" are one name. Each line that disagrees with the first line for the same name and
// algorithms is one problem: a list of many lines for one name costs a problem a line, never one a pair.
void ListRows::markConflict(CheckRow& row)
{
    const QByteArray lexical = lexicalName(row.name);
    QByteArray name = lexical + '\0';
    row.candidates.forEach([&name](HashAlgorithm algorithm) { name += static_cast<char>('A' + indexOf(algorithm)); });
    // Fingerprints of the name and the digest are kept, not their bytes: a million names are not held twice. With a
    // seed of this process's own, no list can be crafted for two names to share one; should two ever share one, only
    // a conflict warning could be wrong or missing, never a verdict.
    const quint64 key = qHash(name, m_seed);
    const quint64 expected = qHash(row.expected, m_seed);
    const auto found = m_firstOf.find(key);
    if (found == m_firstOf.end()) {
        m_firstOf.insert(key, {m_rows, row.lineNumber, expected, false});
        if (row.name != lexical) {
            // Kept apart, to be named should another line disagree: lists that spell names plainly pay nothing.
            m_firstSpelling.insert(key, row.name);
        }
        return;
    }
    First& first = *found;
    if (first.expected == expected) {
        return;
    }
    row.conflicting = true;
    m_pending.problems.append(conflictText(first, m_firstSpelling.value(key), row, lexical));
    row.note = tr("another digest on line %1").arg(first.lineNumber);
    if (!first.marked) {
        first.marked = true;
        m_pending.conflicts.push_back({first.row, tr("another digest on line %1").arg(row.lineNumber)});
    }
}
