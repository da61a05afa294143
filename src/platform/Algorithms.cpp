#include "Algorithms.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace {

const AlgorithmInfo& namedInfo(HashAlgorithm algorithm)
{
    const auto found = std::find_if(kAlgorithms.begin(), kAlgorithms.end(),
                                    [algorithm](const AlgorithmInfo& info) { return info.algorithm == algorithm; });
    return *found; // every enumerator has its row: checked where the table is made
}

// The rows of the derived keys, made once from their families' with names that live as long as the process.
struct DerivedRows
{
    std::array<std::string, kAlgorithmCount - kNamedAlgorithmCount> tags;
    std::array<AlgorithmInfo, kAlgorithmCount - kNamedAlgorithmCount> rows;

    DerivedRows()
    {
        for (std::size_t family = 0; family < kFamiliesWithLengths.size(); ++family) {
            const AlgorithmInfo& named = namedInfo(kFamiliesWithLengths[family]);
            for (std::size_t bytes = 1; bytes <= kLengthKeysPerFamily; ++bytes) {
                const std::size_t at = family * kLengthKeysPerFamily + bytes - 1;
                tags[at] = std::string(named.tag) + '-' + std::to_string(bytes * 8);
                AlgorithmInfo& row = rows[at];
                row = named;
                row.algorithm = static_cast<HashAlgorithm>(kNamedAlgorithmCount + at);
                row.tag = row.displayName = tags[at];
                row.otherTag = {};
                row.digestBytes = bytes;
                // The family's own library where it takes a length; libb2 for BLAKE2b, whose other library here
                // computes 512 bits alone.
                row.library = named.library == DigestLibrary::OpenSsl ? DigestLibrary::Blake2 : named.library;
                row.libraryName = {};
                row.commonness = named.commonness * 1000 + static_cast<int>(bytes);
                row.suffix = row.listName = {};
                row.integrityValue = false;
            }
        }
    }
};

const DerivedRows& derivedRows()
{
    static const DerivedRows rows;
    return rows;
}

} // namespace

const AlgorithmInfo& algorithmInfo(HashAlgorithm algorithm)
{
    const std::size_t index = indexOf(algorithm);
    if (index < kNamedAlgorithmCount) {
        return namedInfo(algorithm);
    }
    const AlgorithmInfo& row = derivedRows().rows[index - kNamedAlgorithmCount];
    // The slot of a family's own length is never handed out (algorithmOfLength gives the named key): its row is
    // the named one.
    return row.digestBytes == namedInfo(familyOf(algorithm)).digestBytes ? namedInfo(familyOf(algorithm)) : row;
}

bool hasLengths(HashAlgorithm family)
{
    return std::find(kFamiliesWithLengths.begin(), kFamiliesWithLengths.end(), family) != kFamiliesWithLengths.end();
}

std::optional<HashAlgorithm> algorithmOfLength(HashAlgorithm family, std::size_t bytes)
{
    const auto found = std::find(kFamiliesWithLengths.begin(), kFamiliesWithLengths.end(), family);
    if (found == kFamiliesWithLengths.end() || bytes < 1 || bytes > kLengthKeysPerFamily) {
        return std::nullopt;
    }
    if (bytes == namedInfo(family).digestBytes) {
        return family;
    }
    const auto at = static_cast<std::size_t>(found - kFamiliesWithLengths.begin()) * kLengthKeysPerFamily + bytes - 1;
    return static_cast<HashAlgorithm>(kNamedAlgorithmCount + at);
}

HashAlgorithm familyOf(HashAlgorithm algorithm)
{
    const std::size_t index = indexOf(algorithm);
    if (index < kNamedAlgorithmCount) {
        return algorithm;
    }
    return kFamiliesWithLengths[(index - kNamedAlgorithmCount) / kLengthKeysPerFamily];
}

std::optional<HashAlgorithm> algorithmFromName(std::string_view name)
{
    const auto same = [name](std::string_view known) {
        return std::equal(name.begin(), name.end(), known.begin(), known.end(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        });
    };
    for (const AlgorithmInfo& info : kAlgorithms) {
        if (same(info.name)) {
            return info.algorithm;
        }
    }
    return std::nullopt;
}

std::optional<HashAlgorithm> algorithmFromTag(std::string_view tag)
{
    for (const AlgorithmInfo& info : kAlgorithms) {
        if (info.tag == tag || (!info.otherTag.empty() && info.otherTag == tag)) {
            return info.algorithm;
        }
    }
    return std::nullopt;
}

QString algorithmName(HashAlgorithm algorithm)
{
    const std::string_view name = algorithmInfo(algorithm).displayName;
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}
