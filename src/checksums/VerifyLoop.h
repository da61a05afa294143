#pragma once

#include "ChecksumLine.h"
#include "FileDigests.h"

#include <cstddef>
#include <QByteArray>

class ChecksumListReader;

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
};

enum class VerifyOutcome
{
    Matched,
    Mismatched,
    Unreadable,     // FAILED open or read: failure and reason say why
    MissingIgnored, // missing, and the caller asked to ignore missing files
    Malformed,      // the line is improperly formatted
};

struct VerifyEvent
{
    VerifyOutcome outcome = VerifyOutcome::Malformed;
    quint64 lineNumber = 0;
    ChecksumEntry entry; // all but Malformed
    QByteArray actual;   // Matched and Mismatched: the digest computed
    DigestFailure failure = DigestFailure::None;
    QString reason;                   // Unreadable: the system's words
    std::optional<HashAlgorithm> tag; // the algorithm the line's tag named, if it has one
};

class VerifyObserver
{
public:
    virtual ~VerifyObserver() = default;
    virtual void onEvent(const VerifyEvent& event) = 0;
};

struct VerifyOptions
{
    // Relative names are taken against this folder (with its trailing '/'); empty: the current directory.
    QByteArray baseFolder;
    // "-" names standard input, as on the command line (the parser refuses it when the list itself is read from it).
    bool dashIsStandardInput = true;
    bool ignoreMissing = false;
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

    bool anyProperlyFormatted() const { return matched + mismatched + unreadable + missingIgnored > 0; }
};

// The path an entry's name stands for: byte for byte, against the base folder unless absolute.
QByteArray resolveEntryName(const QByteArray& name, const QByteArray& baseFolder);

// Checks every entry of a list in its order, reporting each line that is an entry or improperly formatted as one
// event, in the list's order. "Matched" only when the digest of one consistent read equals the expected one.
VerifyCounts verifyList(ChecksumListReader& reader, DigestSource& source, VerifyObserver& observer,
                        const VerifyOptions& options);
