#pragma once

#include "Hasher.h"

#include <functional>
#include <memory>
#include <optional>
#include <QString>

using HasherFactory = std::function<std::unique_ptr<Hasher>(HashAlgorithm, QString* error)>;

// One digest of one read: its running state, or the library's reason for refusing it. Once refused it takes no
// more data, and the other digests of the read go on.
struct DigestSlot
{
    std::unique_ptr<Hasher> hasher;
    QString refusal;

    // A hasher left by the last read of the same algorithm is started again rather than made anew.
    void start(HashAlgorithm algorithm, const HasherFactory& create)
    {
        refusal.clear();
        if (m_finished && m_finished->algorithm == algorithm && m_finished->hasher->restart()) {
            hasher = std::move(m_finished->hasher);
            m_finished.reset();
            return;
        }
        m_finished.reset();
        hasher = create ? create(algorithm, &refusal) : Hasher::create(algorithm, &refusal);
        m_algorithm = algorithm;
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
            return digest;
        }
        m_finished.emplace(Finished{m_algorithm, std::move(hasher)});
        return digest;
    }

    void refuse(QString reason)
    {
        refusal = std::move(reason);
        hasher.reset();
    }

private:
    struct Finished
    {
        HashAlgorithm algorithm;
        std::unique_ptr<Hasher> hasher;
    };
    HashAlgorithm m_algorithm = HashAlgorithm::Crc32;
    std::optional<Finished> m_finished;
};
