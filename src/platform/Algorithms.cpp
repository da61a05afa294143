#include "Algorithms.h"

#include <algorithm>
#include <cctype>

const AlgorithmInfo& algorithmInfo(HashAlgorithm algorithm)
{
    const auto found = std::find_if(kAlgorithms.begin(), kAlgorithms.end(),
                                    [algorithm](const AlgorithmInfo& info) { return info.algorithm == algorithm; });
    return *found; // every enumerator has its row: checked where the table is made
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
