#pragma once

#include <cerrno>

// Why a file has no digests. Callers decide statuses and messages from the kind, never from the reason's wording.
enum class DigestFailure
{
    None,
    Missing,          // nothing at the path (also a dangling link, a file used as a folder on the way)
    PermissionDenied, // the system refused to open or read it
    NotRegularFile,   // a folder, FIFO, socket or device, where only regular files are read
    ChangedWhileRead, // the file's identity changed between open and end: no digest of a mix of versions
    BeingWritten,     // another program has it open for writing (a mapping's writes move no time stamp)
    ReadError,        // an I/O error, or any other failure of the system
    DigestRefused,    // the crypto library refused a requested digest (the others may still be there)
    Cancelled,
};

// The kind of a failure to open, from the system's error number (OpenedFile::systemError).
constexpr DigestFailure failureForSystemError(int code, bool beingWritten = false)
{
    if (beingWritten) {
        return DigestFailure::BeingWritten;
    }
    switch (code) {
    case ENOENT:
    case ENOTDIR:
        return DigestFailure::Missing;
    case EACCES:
    case EPERM:
        return DigestFailure::PermissionDenied;
    case 0: // refused for what it is, before any system call failed
    case EISDIR:
        return DigestFailure::NotRegularFile;
    default:
        return DigestFailure::ReadError;
    }
}
