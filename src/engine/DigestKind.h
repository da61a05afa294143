#pragma once

#include <array>

// Selector values are part of the digest engine's contract and must not change.
enum class DigestKind : int
{
    Md5 = 0,
    Sha1 = 1,
    Sha256 = 2,
    Crc32 = 10,
};

// The order in which an analysis asks for the digests and shows them.
inline constexpr std::array<DigestKind, 4> kDigestOrder{DigestKind::Crc32, DigestKind::Md5, DigestKind::Sha1,
                                                        DigestKind::Sha256};
