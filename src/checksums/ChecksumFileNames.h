#pragma once

#include "Algorithms.h"

#include <array>
#include <optional>
#include <QByteArray>
#include <QByteArrayView>

// The checksum files looked for beside a data file: NAME plus a suffix, each naming the algorithm its bare lines
// are of, then the folder's lists. Nothing for a suffix or list that is not there.
struct BesideName
{
    const char* name; // a suffix when it starts with '.', else a file in the same folder
    std::optional<HashAlgorithm> algorithm;
};
// A folder's list that says nothing of its algorithm: each line's tag or length does.
inline constexpr const char* kUntypedListName = "CHECKSUM";
// The sidecars named as the tools that wrote them: "NAME.sha256sum", most common first.
inline constexpr std::array<BesideName, 4> kSumSidecars{{
    {".sha256sum", HashAlgorithm::Sha256},
    {".sha512sum", HashAlgorithm::Sha512},
    {".sha1sum", HashAlgorithm::Sha1},
    {".md5sum", HashAlgorithm::Md5},
}};
// From the algorithm table, most common first: every suffix, those sidecars, then every list, then the untyped list.
inline constexpr auto kBesideNames = [] {
    constexpr auto count = [] {
        std::size_t n = 1;
        for (const AlgorithmInfo& info : kAlgorithms) {
            n += (info.suffix.empty() ? 0 : 1) + (info.listName.empty() ? 0 : 1);
        }
        return n + kSumSidecars.size();
    }();
    std::array<BesideName, count> names{};
    std::size_t at = 0;
    // The table's names are literals, so data() ends with a NUL.
    for (const AlgorithmInfo& info : kAlgorithmsByCommonness) {
        if (!info.suffix.empty()) {
            names[at++] = {info.suffix.data(), info.algorithm};
        }
    }
    for (const BesideName& sidecar : kSumSidecars) {
        names[at++] = sidecar;
    }
    for (const AlgorithmInfo& info : kAlgorithmsByCommonness) {
        if (!info.listName.empty()) {
            names[at++] = {info.listName.data(), info.algorithm};
        }
    }
    names[at] = {kUntypedListName, std::nullopt};
    return names;
}();

// What a file's name says it is, whatever its case: NAME's sidecar ("game.iso.MD5"), or a folder's list
// ("sha256sums", "SHA256SUMS.txt", "sha256sum.txt", "Fedora-39-x86_64-CHECKSUM", any other "…SUMS").
struct ChecksumFileName
{
    std::size_t rank = 0; // its row in kBesideNames, the order searched; past the end for a list the table lacks
    std::optional<HashAlgorithm> algorithm; // of its untagged lines, where the name says
    QByteArray dataName;                    // a sidecar's NAME; empty for a list
};
std::optional<ChecksumFileName> checksumFileName(QByteArrayView fileName);

// The algorithm a checksum file's name gives its untagged lines: "x.sha256", "SHA256SUMS", "B2SUMS".
std::optional<HashAlgorithm> algorithmNamedBy(const QByteArray& checksumPath);
