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
    case DigestFailure::BeingWritten: // merely open for writing: nothing is known to have changed
        return CheckState::BeingWritten;
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
