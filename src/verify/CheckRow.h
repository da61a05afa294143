#pragma once

#include "Algorithms.h"

#include <cstddef>
#include <optional>
#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Where one check stands. Every state has its words and its icon, so that none is told by colour alone.
enum class CheckState : quint8
{
    Waiting,
    Checking,
    Stalled,      // its file system has not answered for a while: the others go on meanwhile
    Ok,           // a digest of one consistent read equals the expected one
    Mismatch,     // read consistently, and no candidate algorithm gives the expected digest
    Missing,      // nothing at the name (also a dangling link)
    Unreadable,   // refused, not a regular file, or a read error: the note says which
    Changed,      // the file changed while it was read: no digest of a mix of versions
    BeingWritten, // another program has the file open for writing: no digest of what may be changing
    Cancelled,    // stopped before its answer
    NotCompared,  // read, but there is no expected digest (or the other file of a comparison failed)
    Identical,    // a comparison found the same bytes
    Different,    // a comparison found a first differing byte: the note says where
};
// Room for a count of each state, with some to spare for states added later.
inline constexpr std::size_t kCheckStateCount = 32;
static_assert(static_cast<std::size_t>(CheckState::Different) < kCheckStateCount);

// One row of the results: one file checked against one expected digest, or one file of a comparison.
struct CheckRow
{
    QByteArray name;         // as the list, the user or the comparison gave it: bytes, never decoded
    AlgorithmSet candidates; // what the expected digest may be a digest of
    QByteArray expected;     // raw digest bytes; empty in a comparison
    QByteArray actual;       // raw digest bytes of the candidate shown, for a mismatch
    quint64 lineNumber = 0;  // in the list; 0 when not from one
    QString note;            // the system's reason, where a digest was found, a comparison's first difference
    QString interim;         // while unsettled: the candidates already found not to match, and those being read
    // The small members together, so that a million rows do not pay for padding between them.
    int percent = 0;                        // while Checking
    std::optional<HashAlgorithm> algorithm; // the one that matched, or the one checked when there was only one
    CheckState state = CheckState::Waiting;
    bool outsideFolder = false; // the name is absolute or climbs out of the list's folder with ".."
    bool conflicting = false;   // the list gives this name another digest of the same algorithm elsewhere
};

// Two notes as one, either left out when empty.
QString joinNotes(const QString& first, const QString& second);
// The row's note as shown: with what is known so far while it is not yet answered.
QString noteText(const CheckRow& row);
// "OK", "MISMATCH", "checking 42%", ...
QString stateText(CheckState state, int percent = 0);
// A freedesktop icon name, for QIcon::fromTheme.
QString stateIconName(CheckState state);
// Whether the state is an answer (no work on the row is left).
bool isSettled(CheckState state);
// The algorithm column: the one checked, or the candidates ("SHA-256 or SHA3-256").
QString algorithmText(const CheckRow& row);
// The one algorithm of a set of one; nothing for more.
std::optional<HashAlgorithm> onlyAlgorithm(const AlgorithmSet& candidates);
// The candidate whose digest a mismatch shows: the one checked, else the SHA-2 member where lengths are shared.
HashAlgorithm shownAlgorithm(const CheckRow& row);
// Which algorithm's digest a mismatch's Actual is, where the expected digest had several candidates ("Actual is
// the SHA-256 digest; no candidate matches"); empty otherwise.
QString actualAlgorithmNote(const CheckRow& row);
// A name as a person reads it, never markup and never another name: see displayTextForPath.
QString nameText(const QByteArray& name);
// The steps a name takes from the list's folder, "." and empty steps left out and each ".." taking back the step
// before it: "a", "./a" and "sub/../a" are all "a"; a ".." above the folder stays.
QByteArray lexicalName(const QByteArray& name);
// Absolute, or climbing above the list's folder with "..".
bool leadsOutsideFolder(const QByteArray& name);
