#pragma once

#include "Algorithms.h"
#include "DigestFailure.h"

#include <array>
#include <QByteArray>
#include <QString>
#include <QtGlobal>

// One file's answer from one read: every requested digest, or the kind of failure and the system's words for it.
// Ok always carries a digest for every requested algorithm the library did not refuse.
struct FileDigests
{
    DigestFailure failure = DigestFailure::ReadError;
    QString reason; // the system's or the library's words: "No such file or directory", "Is a directory"
    std::array<QByteArray, kAlgorithmCount> digests; // raw bytes; empty where not requested or refused
    std::array<QString, kAlgorithmCount> refusals;   // the library's reason where it refused that digest
    quint64 bytesRead = 0;
    int systemError = 0; // the system's error number where opening failed: ENOENT and ENOTDIR are both Missing

    bool isOk() const { return failure == DigestFailure::None; }
    const QByteArray& digest(HashAlgorithm algorithm) const { return digests[indexOf(algorithm)]; }
};
