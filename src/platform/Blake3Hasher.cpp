#include "Blake3Hasher.h"

#include <blake3.h>

namespace {

class Blake3Hasher final : public Hasher
{
public:
    explicit Blake3Hasher(std::size_t digestBytes) : m_digestBytes(digestBytes) { blake3_hasher_init(&m_state); }

    bool addData(std::span<const std::byte> data) override
    {
        blake3_hasher_update(&m_state, data.data(), data.size());
        return true;
    }

    std::optional<QByteArray> result() override
    {
        QByteArray digest(static_cast<qsizetype>(m_digestBytes), '\0');
        blake3_hasher_finalize(&m_state, reinterpret_cast<uint8_t*>(digest.data()), m_digestBytes);
        return digest;
    }

    QString errorString() const override { return QString(); }

    bool restart() override
    {
        blake3_hasher_init(&m_state);
        return true;
    }

private:
    std::size_t m_digestBytes;
    blake3_hasher m_state;
};

} // namespace

std::unique_ptr<Hasher> createBlake3Hasher(std::size_t digestBytes)
{
    return std::make_unique<Blake3Hasher>(digestBytes);
}
