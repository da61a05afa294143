#pragma once

#include "Hasher.h"

#include <functional>
#include <memory>
#include <QString>

using HasherFactory = std::function<std::unique_ptr<Hasher>(HashAlgorithm, QString* error)>;

// One digest of one read: its running state, or the library's reason for refusing it. Once refused it takes no
// more data, and the other digests of the read go on.
struct DigestSlot
{
    std::unique_ptr<Hasher> hasher;
    QString refusal;

    void start(HashAlgorithm algorithm, const HasherFactory& create)
    {
        refusal.clear();
        hasher = create ? create(algorithm, &refusal) : Hasher::create(algorithm, &refusal);
    }

    void add(std::span<const std::byte> data)
    {
        if (hasher && !hasher->addData(data)) {
            refuse(hasher->errorString());
        }
    }

    // The digest, or nothing with the refusal kept.
    std::optional<QByteArray> finish()
    {
        if (!hasher) {
            return std::nullopt;
        }
        std::optional<QByteArray> digest = hasher->result();
        if (!digest) {
            refuse(hasher->errorString());
        }
        hasher.reset();
        return digest;
    }

    void refuse(QString reason)
    {
        refusal = std::move(reason);
        hasher.reset();
    }
};
