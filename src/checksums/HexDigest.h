#pragma once

#include "Algorithms.h"

#include <optional>
#include <QByteArray>
#include <QByteArrayView>

// Lower-case hex, as every checksum line is written.
QByteArray hexDigest(QByteArrayView digest);
void appendHexDigest(QByteArray& out, QByteArrayView digest);

// The bytes of hex digits of either case; nothing for an odd count or any other character.
std::optional<QByteArray> bytesFromHex(QByteArrayView hex);

// Which BLAKE2b a bare digest may be besides the named algorithms of its length.
enum class Blake2bLengths
{
    Common, // BLAKE2b-256 for 32 bytes, the one its tool's -l writes as often as the others of 64 digits
    Any,    // BLAKE2b at whatever length the digits give, up to its 512 bits
};

// Every algorithm whose digest has this many bytes (32: SHA-256, SHA3-256, BLAKE3 and BLAKE2b-256).
AlgorithmSet algorithmsForDigestBytes(std::size_t bytes, Blake2bLengths blake2b = Blake2bLengths::Common);

// The one algorithm a bare digest of this many bytes is taken for when nothing else says: where lengths are shared,
// the one whose lists are the most common (the table's commonness), SHA-256 rather than SHA3-256.
std::optional<HashAlgorithm> preferredAlgorithmForDigestBytes(std::size_t bytes);
