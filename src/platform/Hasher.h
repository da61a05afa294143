#pragma once

#include "Algorithms.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <QByteArray>
#include <QString>
#include <span>

// One running checksum: feed it blocks in order with addData(), then take the raw digest bytes from result().
// Nothing here throws: a library that refuses (a host that forbids MD5, say) answers false or nothing, and
// errorString() gives its reason.
class Hasher
{
public:
    virtual ~Hasher() = default;

    [[nodiscard]] virtual bool addData(std::span<const std::byte> data) = 0;
    // Raw digest, big-endian for CRC-32 so that its hex form reads like the usual check value.
    virtual std::optional<QByteArray> result() = 0;
    virtual QString errorString() const = 0;
    // Begins a new digest with what this one has set up, after result(); false when it cannot, and a new hasher
    // is to be made instead.
    [[nodiscard]] virtual bool restart() { return false; }

    // Null when the library will not set the algorithm up; error then holds its reason.
    static std::unique_ptr<Hasher> create(HashAlgorithm algorithm, QString* error);
};
