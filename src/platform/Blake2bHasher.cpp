#include "Blake2bHasher.h"

#include <blake2.h>
#include <QCoreApplication>

namespace {

class Blake2bHasher final : public Hasher
{
public:
    explicit Blake2bHasher(std::size_t digestBytes) : m_digestBytes(digestBytes) {}

    bool addData(std::span<const std::byte> data) override
    {
        return blake2b_update(&m_state, reinterpret_cast<const uint8_t*>(data.data()), data.size()) == 0 || fail();
    }

    std::optional<QByteArray> result() override
    {
        QByteArray digest(static_cast<qsizetype>(m_digestBytes), '\0');
        if (blake2b_final(&m_state, reinterpret_cast<uint8_t*>(digest.data()), m_digestBytes) != 0) {
            fail();
            return std::nullopt;
        }
        return digest;
    }

    QString errorString() const override { return m_error; }

    bool restart() override { return blake2b_init(&m_state, m_digestBytes) == 0 || fail(); }

private:
    // The library gives no reason, only a refusal: of a length out of its range, or a state already finished.
    bool fail()
    {
        m_error = QCoreApplication::translate("Hasher", "The BLAKE2b library refused a digest of %1 bytes.")
                      .arg(m_digestBytes);
        return false;
    }

    std::size_t m_digestBytes;
    blake2b_state m_state{};
    QString m_error;
};

} // namespace

std::unique_ptr<Hasher> createBlake2bHasher(std::size_t digestBytes, QString* error)
{
    auto hasher = std::make_unique<Blake2bHasher>(digestBytes);
    if (!hasher->restart()) {
        *error = hasher->errorString();
        return nullptr;
    }
    return hasher;
}
