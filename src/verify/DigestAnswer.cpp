#include "DigestAnswer.h"

CheckState stateForFailure(DigestFailure failure)
{
    switch (failure) {
    case DigestFailure::None:
        break;
    case DigestFailure::Missing:
        return CheckState::Missing;
    case DigestFailure::ChangedWhileRead:
    case DigestFailure::BeingWritten: // its note says another program is writing it
        return CheckState::Changed;
    case DigestFailure::Cancelled:
        return CheckState::Cancelled;
    case DigestFailure::PermissionDenied:
    case DigestFailure::NotRegularFile:
    case DigestFailure::ReadError:
    case DigestFailure::DigestRefused:
        return CheckState::Unreadable;
    }
    return CheckState::Unreadable;
}

EntryAnswer answerEntry(const FileDigests& result, const AlgorithmSet& candidates, HashAlgorithm shown,
                        const QByteArray& expected)
{
    EntryAnswer answer;
    if (!result.isOk() && result.failure != DigestFailure::DigestRefused) {
        answer.state = stateForFailure(result.failure);
        answer.note = result.failure == DigestFailure::Cancelled ? QString() : result.reason;
        return answer;
    }
    QString refusal;
    candidates.forEach([&](HashAlgorithm algorithm) {
        const QByteArray& actual = result.digest(algorithm);
        if (actual.isEmpty()) {
            refusal = result.refusals[indexOf(algorithm)];
        } else if (actual == expected && !answer.algorithm) {
            answer.algorithm = algorithm;
        }
    });
    if (answer.algorithm) {
        answer.state = CheckState::Ok;
        answer.actual = expected;
    } else if (!refusal.isEmpty() || result.digest(shown).isEmpty()) {
        answer.state = CheckState::Unreadable;
        answer.note = refusal.isEmpty() ? result.reason : refusal;
    } else {
        answer.state = CheckState::Mismatch;
        answer.actual = result.digest(shown);
    }
    return answer;
}
