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
