#include "DigestAnswer.h"

CheckState stateForFailure(DigestFailure failure)
{
    switch (failure) {
    case DigestFailure::None:
        break;
    case DigestFailure::Missing:
        return CheckState::Missing;
    case DigestFailure::ChangedWhileRead:
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

QString noteForFailure(const FileDigests& result)
{
    return result.failure == DigestFailure::Cancelled ? QString() : result.reason;
}

CheckState answerFor(const FileDigests& result, HashAlgorithm algorithm, const QByteArray& expected)
{
    if (!result.isOk()) {
        return stateForFailure(result.failure);
    }
    const QByteArray& actual = result.digest(algorithm);
    if (actual.isEmpty()) {
        return CheckState::Unreadable; // the library refused this digest
    }
    return actual == expected ? CheckState::Ok : CheckState::Mismatch;
}
