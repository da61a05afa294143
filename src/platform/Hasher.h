#pragma once

#include <cstddef>
#include <memory>
#include <QByteArray>
#include <span>

// The four checksum algorithms this program computes. The libraries behind them stay out of every other header.
enum class HashAlgorithm
{
    Crc32,
    Md5,
    Sha1,
    Sha256,
};

// One running checksum: feed it blocks in order with addData(), then take the raw digest bytes from result().
class Hasher
{
public:
    virtual ~Hasher() = default;

    virtual void addData(std::span<const std::byte> data) = 0;
    // Raw digest, big-endian for CRC-32 so that its hex form reads like the usual check value.
    virtual QByteArray result() = 0;

    static std::unique_ptr<Hasher> create(HashAlgorithm algorithm);
};
