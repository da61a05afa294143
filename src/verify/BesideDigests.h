#pragma once

#include "Algorithms.h"
#include "ChecksumLine.h"

#include <array>
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
};

struct BesideSearch
{
    std::vector<PublishedDigest> found;
    QList<QByteArray> sources; // each checksum file that gave at least one digest, in the order searched
    QStringList problems;      // lines about the file that cannot be checked here: "a.b2, line 1: BLAKE2b-256 …"
};

// The checksum files looked for beside a data file: NAME plus a suffix, each naming the algorithm its bare lines
// are of, then the folder's lists. Nothing for a suffix or list that is not there.
struct BesideName
{
    const char* name; // a suffix when it starts with '.', else a file in the same folder
    std::optional<HashAlgorithm> algorithm;
};
// A folder's list that says nothing of its algorithm: each line's tag or length does.
inline constexpr const char* kUntypedListName = "CHECKSUM";
// From the algorithm table, most common first: every suffix, then every list, then the untyped list.
inline constexpr auto kBesideNames = [] {
    constexpr auto count = [] {
        std::size_t n = 1;
        for (const AlgorithmInfo& info : kAlgorithms) {
            n += (info.suffix.empty() ? 0 : 1) + (info.listName.empty() ? 0 : 1);
        }
        return n;
    }();
    std::array<BesideName, count> names{};
    std::size_t at = 0;
    // The table's names are literals, so data() ends with a NUL.
    for (const AlgorithmInfo& info : kAlgorithmsByCommonness) {
        if (!info.suffix.empty()) {
            names[at++] = {info.suffix.data(), info.algorithm};
        }
    }
    for (const AlgorithmInfo& info : kAlgorithmsByCommonness) {
        if (!info.listName.empty()) {
            names[at++] = {info.listName.data(), info.algorithm};
        }
    }
    names[at] = {kUntypedListName, std::nullopt};
    return names;
}();

// The algorithm a checksum file's name gives its untagged lines: "x.sha256", "SHA256SUMS", "B2SUMS".
std::optional<HashAlgorithm> algorithmNamedBy(const QByteArray& checksumPath);

// What an entry's digest may be a digest of. A tagged or SFV line says; an untagged line is of the algorithm its
// file's name gives when the length fits, else of every algorithm of its length (64 digits: SHA-256 and SHA3-256),
// all computed in the one read.
AlgorithmSet candidatesFor(const ChecksumEntry& entry, std::optional<HashAlgorithm> named);

// "BLAKE2b-256" for a BLAKE2b digest of so many hex digits.
QString blake2bName(qsizetype digits);

// Reads the checksum files beside dataPath (file system work: call it on a worker) for lines naming the file, by
// its name alone or as "./NAME". A NAME.suffix file may also hold the bare digest alone.
BesideSearch findPublishedDigests(const QByteArray& dataPath);
