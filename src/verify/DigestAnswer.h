#pragma once

#include "CheckRow.h"
#include "FileDigests.h"

// The state a failed read leaves a row in, and the words shown beside it.
CheckState stateForFailure(DigestFailure failure);
QString noteForFailure(const FileDigests& result);

// A list entry's answer from its read: OK only when the digest of that one consistent read equals the expected one.
CheckState answerFor(const FileDigests& result, HashAlgorithm algorithm, const QByteArray& expected);
