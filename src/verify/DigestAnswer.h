#pragma once

#include "CheckRow.h"
#include "FileDigests.h"

// The state a failed read leaves a row in.
CheckState stateForFailure(DigestFailure failure);

struct EntryAnswer
{
    CheckState state = CheckState::Unreadable;
    std::optional<HashAlgorithm> algorithm; // the candidate that matched
    QByteArray actual;
    QString note;
};

// An entry's answer from one read that computed each candidate: OK only when one of those digests equals the
// expected one; a mismatch shows the digest of `shown`; a refused candidate that might have matched is no mismatch.
EntryAnswer answerEntry(const FileDigests& result, const AlgorithmSet& candidates, HashAlgorithm shown,
                        const QByteArray& expected);
