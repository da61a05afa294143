#pragma once

#include "Algorithms.h"

#include <array>
#include <optional>

// Selector values are part of the digest engine's contract and must not change.
enum class DigestKind : int
{
    Md5 = 0,
    Sha1 = 1,
    Sha256 = 2,
    Crc32 = 10,
};

// The window's digests, a selection from the table of algorithms, each with its selector, in the order in which an
// analysis asks for them and shows them. Showing another digest starts with a row here.
struct WindowDigest
{
    DigestKind kind;
    HashAlgorithm algorithm;
};

inline constexpr std::array<WindowDigest, 4> kWindowDigests{{
    {DigestKind::Crc32, HashAlgorithm::Crc32},
    {DigestKind::Md5, HashAlgorithm::Md5},
    {DigestKind::Sha1, HashAlgorithm::Sha1},
    {DigestKind::Sha256, HashAlgorithm::Sha256},
}};

inline constexpr std::array<DigestKind, kWindowDigests.size()> kDigestOrder = [] {
    std::array<DigestKind, kWindowDigests.size()> order{};
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = kWindowDigests[i].kind;
    }
    return order;
}();

// Nothing for a selector the window does not use.
constexpr std::optional<HashAlgorithm> algorithmFor(DigestKind kind)
{
    for (const WindowDigest& digest : kWindowDigests) {
        if (digest.kind == kind) {
            return digest.algorithm;
        }
    }
    return std::nullopt;
}

inline AlgorithmSet windowAlgorithms()
{
    AlgorithmSet algorithms;
    for (const WindowDigest& digest : kWindowDigests) {
        algorithms.insert(digest.algorithm);
    }
    return algorithms;
}
