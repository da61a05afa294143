#pragma once

#include "Algorithms.h"
#include "ChecksumFileNames.h"
#include "ChecksumLine.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <vector>

// A digest published for a file: where it was found and what it says.
struct PublishedDigest
{
    QByteArray source; // the checksum file's path
    quint64 lineNumber = 0;
    AlgorithmSet candidates; // one algorithm, unless neither the line nor the file's name says which
    QByteArray expected;
    // The algorithm the checksum file's name promised, where the digest is of another (an MD5 in a ".sha256").
    std::optional<HashAlgorithm> promised;
};

// "from x.sha256, line 1", and what its name promised where the digest is of another algorithm.
QString publishedNote(const PublishedDigest& digest);

struct BesideSearch
{
    std::vector<PublishedDigest> found;
    QStringList problems;      // lines meant for the file that could not be used, with the reason: "a.b2, line 1: …"
    QList<QByteArray> sources; // each checksum file that gave at least one digest, in the order searched
};

// What an entry's digest may be a digest of. A tagged or SFV line says; an untagged line is of the algorithm its
// file's name gives when the length fits, else of every algorithm of its length (64 digits: SHA-256, SHA3-256, BLAKE3
// and BLAKE2b-256; where the name gives no algorithm, BLAKE2b at any length), all computed in the one read.
AlgorithmSet candidatesFor(const ChecksumEntry& entry, std::optional<HashAlgorithm> named);

// Reads the checksum files beside dataPath (file system work: call it on a worker) for lines naming the file, by
// its name alone or as "./NAME". A NAME.suffix file may also hold the bare digest alone. Names are recognised in
// any case (see checksumFileName).
BesideSearch findPublishedDigests(const QByteArray& dataPath);
