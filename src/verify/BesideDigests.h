#pragma once

#include "Algorithms.h"
#include "ChecksumLine.h"

#include <QByteArray>
#include <QList>
#include <vector>

// A digest published for a file: where it was found and what it says.
struct PublishedDigest
{
    QByteArray source; // the checksum file's path
    quint64 lineNumber = 0;
    AlgorithmSet candidates; // one algorithm, unless neither the line nor the file's name says which
    QByteArray expected;
};

struct BesideSearch
{
    std::vector<PublishedDigest> found;
    QList<QByteArray> sources; // each checksum file that gave at least one digest, in the order searched
};

// The checksum files looked for beside a data file: NAME plus a suffix, each naming the algorithm its bare lines
// are of, then the folder's lists. Nothing for a suffix or list that is not there.
struct BesideName
{
    const char* name; // a suffix when it starts with '.', else a file in the same folder
    std::optional<HashAlgorithm> algorithm;
};
inline constexpr BesideName kBesideNames[] = {
    {".sha256", HashAlgorithm::Sha256},    {".sha512", HashAlgorithm::Sha512},    {".sha1", HashAlgorithm::Sha1},
    {".md5", HashAlgorithm::Md5},          {".sfv", HashAlgorithm::Crc32},        {".b2", HashAlgorithm::Blake2b},
    {"SHA256SUMS", HashAlgorithm::Sha256}, {"SHA512SUMS", HashAlgorithm::Sha512}, {"SHA1SUMS", HashAlgorithm::Sha1},
    {"MD5SUMS", HashAlgorithm::Md5},       {"B2SUMS", HashAlgorithm::Blake2b},    {"CHECKSUM", std::nullopt},
};

// The algorithm a checksum file's name gives its untagged lines: "x.sha256", "SHA256SUMS", "B2SUMS".
std::optional<HashAlgorithm> algorithmNamedBy(const QByteArray& checksumPath);

// What an entry's digest may be a digest of. A tagged or SFV line says; an untagged line is of the algorithm its
// file's name gives when the length fits, else of every algorithm of its length (64 digits: SHA-256 and SHA3-256),
// all computed in the one read.
AlgorithmSet candidatesFor(const ChecksumEntry& entry, std::optional<HashAlgorithm> named);

// Reads the checksum files beside dataPath (file system work: call it on a worker) for lines naming the file, by
// its name alone or as "./NAME". A NAME.suffix file may also hold the bare digest alone.
BesideSearch findPublishedDigests(const QByteArray& dataPath);
