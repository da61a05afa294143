#include "Blake3Hasher.h"

#include <blake3.h>

namespace {

class Blake3Hasher final : public Hasher
{
public:
    Blake3Hasher() { blake3_hasher_init(&m_state); }

    bool addData(std::span<const std::byte> data) override
    {
        blake3_hasher_update(&m_state, data.data(), data.size());
        return true;
    }

    std::optional<QByteArray> result() override
    {
        QByteArray digest(BLAKE3_OUT_LEN, '\0');
        blake3_hasher_finalize(&m_state, reinterpret_cast<uint8_t*>(digest.data()), BLAKE3_OUT_LEN);
        return digest;
    }

    QString errorString() const override { return QString(); }

    bool restart() override
    {
        blake3_hasher_init(&m_state);
        return true;
    }

private:
    blake3_hasher m_state;
};

} // namespace

std::unique_ptr<Hasher> createBlake3Hasher()
{
    return std::make_unique<Blake3Hasher>();
}
