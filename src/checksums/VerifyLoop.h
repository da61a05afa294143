#pragma once

#include "ChecksumLine.h"
#include "FileDigests.h"
#include "LineTrouble.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <QByteArray>
#include <utility>

class ChecksumListReader;
class LineSource;

// What the verify loop asks for: one file's digest of one algorithm. The engine's batch serves it through an
// adapter; tests serve it from a table.
struct VerifyRequest
{
    QByteArray nativePath;   // the entry's name resolved against the base folder
    AlgorithmSet algorithms; // of every entry in a row that names this file: one read serves them all
    bool fromStandardInput = false;
};

// Digests in the order they were asked for. submit() must not block; takeNext() blocks until the oldest is ready.
class DigestSource
{
public:
    virtual ~DigestSource() = default;
    virtual void submit(const VerifyRequest& request) = 0;
    virtual FileDigests takeNext() = 0;
    // Any request's digests once done, with its place in the order submitted (from 0); nothing when none is done
    // within `wait`. By default the oldest, as takeNext() gives it.
    virtual std::optional<std::pair<std::size_t, FileDigests>> takeAny(std::chrono::milliseconds wait)
    {
        Q_UNUSED(wait);
        return std::make_pair(m_takenInOrder++, takeNext());
    }

private:
    std::size_t m_takenInOrder = 0;
};

enum class VerifyOutcome
{
    Matched,
    Mismatched,
    Unreadable,     // FAILED open or read: failure and reason say why
    MissingIgnored, // missing, and the caller asked to ignore missing files
    Malformed,      // the line is improperly formatted
};

struct ListLine;

// A line's verdict.
struct VerifyEvent
{
    VerifyOutcome outcome = VerifyOutcome::Malformed;
    quint64 lineNumber = 0;
    quint64 entryIndex = 0;  // the entry's place among the list's entries, from 0 (verifyListAsKnown)
    ChecksumEntry entry;     // all but Malformed
    AlgorithmSet candidates; // what the expected digest may be a digest of; all computed in the one read
    // Matched: the candidate whose digest equals the expected one; Mismatched: the one whose digest `actual` is.
    std::optional<HashAlgorithm> algorithm;
    QByteArray actual; // Matched and Mismatched: the digest computed
    DigestFailure failure = DigestFailure::None;
    QString reason;                   // Unreadable: the system's words
    std::optional<HashAlgorithm> tag; // the algorithm the line's tag named, if it has one
    qsizetype unsupportedDigits = 0;  // Malformed: a digest length no algorithm here has (see ParsedLine)
    LineTrouble trouble;              // Malformed: why, where more can be said
    // The bytes the read behind this verdict took, counted on the first of the lines it serves only.
    quint64 bytesRead = 0;
};

// An entry as soon as its line is read, before its digest is asked for.
struct VerifyEntry
{
    const ListLine& line;
    const AlgorithmSet& candidates;
    const QByteArray& path; // the name resolved against the base folder
};

// What the loop tells whoever runs it, on the loop's thread and in the list's order: each entry when read (a
// window makes its row then), each verdict when its digest is back (progress is the verdict's bytes).
class VerifyObserver
{
public:
    virtual ~VerifyObserver() = default;
    virtual void onEntryRead(const VerifyEntry& entry) { Q_UNUSED(entry); }
    virtual void onVerdict(const VerifyEvent& event) = 0;
    // Asked before each step: true ends the loop without the verdicts still to come.
    virtual bool stopRequested() const { return false; }
    // A wait for digests went by without one (verifyListAsKnown): a chance to tell what is still waiting.
    virtual void onStillWaiting() {}
};

struct VerifyOptions
{
    // Relative names are taken against this folder (with its trailing '/'); empty: the current directory.
    QByteArray baseFolder;
    // "-" names standard input, as on the command line (the parser refuses it when the list itself is read from it).
    bool dashIsStandardInput = true;
    bool ignoreMissing = false;
    // What an entry's digest may be a digest of; unset: the algorithm the line was read as.
    std::function<AlgorithmSet(const ChecksumEntry&)> candidates;
    // Entries asked for ahead of the one being reported: enough to keep the engine busy, few enough to bound memory.
    std::size_t window = 16;
};

struct VerifyCounts
{
    quint64 matched = 0;
    quint64 mismatched = 0;
    quint64 unreadable = 0;
    quint64 missingIgnored = 0;
    quint64 malformed = 0;

    void add(VerifyOutcome outcome);
    bool anyProperlyFormatted() const { return matched + mismatched + unreadable + missingIgnored > 0; }
};

// The path an entry's name stands for: byte for byte, against the base folder unless absolute.
QByteArray resolveEntryName(const QByteArray& name, const QByteArray& baseFolder);

// What reading an entry's file asks for: its candidates, its path, whether it is standard input.
VerifyRequest requestFor(const ChecksumEntry& entry, const VerifyOptions& options);

// Whether two entries' requests are served by one read: the same file, and not standard input, which is read afresh
// for each entry as the GNU tools read it.
bool sharesRead(const VerifyRequest& earlier, const VerifyRequest& later);

// An entry's verdict from one read that computed each candidate: Matched when one of them equals the expected
// digest; a refused candidate that might have matched is no mismatch. Only a name that is not there counts as
// missing: one that runs through a file ("Not a directory") is unreadable.
VerifyEvent judgeEntry(const ChecksumEntry& entry, const AlgorithmSet& candidates, const FileDigests& result,
                       bool ignoreMissing);

// Checks every entry of a list in its order, reporting each line that is an entry or improperly formatted as one
// event, in the list's order. "Matched" only when the digest of one consistent read equals the expected one.
// Consecutive entries naming one file share one read, every candidate of each computed in it.
VerifyCounts verifyList(ChecksumListReader& reader, DigestSource& source, VerifyObserver& observer,
                        const VerifyOptions& options);

// The same checks, each verdict as soon as its digests are back rather than in the list's order, so that an entry
// whose file system does not answer holds back no other; a line improperly formatted is reported as it is read.
// Entries are read ahead while fewer than the window's reads are out.
// Lines come from LINES as they are there: while none has come, the reads out are taken meanwhile.
VerifyCounts verifyListAsKnown(LineSource& lines, DigestSource& source, VerifyObserver& observer,
                               const VerifyOptions& options);
VerifyCounts verifyListAsKnown(ChecksumListReader& reader, DigestSource& source, VerifyObserver& observer,
                               const VerifyOptions& options);
