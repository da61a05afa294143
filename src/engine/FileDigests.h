#pragma once

#include "Algorithms.h"

#include <array>
#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Why a file has no digests. Callers decide statuses and messages from the kind, never from the reason's wording.
enum class DigestFailure
{
    None,
    Missing,          // nothing at the path (also a dangling link, a file used as a folder on the way)
    PermissionDenied, // the system refused to open or read it
    NotRegularFile,   // a folder, FIFO, socket or device, where only regular files are read
    ChangedWhileRead, // the file's identity changed between open and end: no digest of a mix of versions
    ReadError,        // an I/O error, or any other failure of the system
    DigestRefused,    // the crypto library refused a requested digest (the others may still be there)
    Cancelled,
};

// One file's answer from one read: every requested digest, or the kind of failure and the system's words for it.
// Ok always carries a digest for every requested algorithm the library did not refuse.
struct FileDigests
{
    DigestFailure failure = DigestFailure::ReadError;
    QString reason; // the system's or the library's words: "No such file or directory", "Is a directory"
    std::array<QByteArray, kAlgorithmCount> digests; // raw bytes; empty where not requested or refused
    std::array<QString, kAlgorithmCount> refusals;   // the library's reason where it refused that digest
    quint64 bytesRead = 0;

    bool isOk() const { return failure == DigestFailure::None; }
    const QByteArray& digest(HashAlgorithm algorithm) const { return digests[indexOf(algorithm)]; }
};
