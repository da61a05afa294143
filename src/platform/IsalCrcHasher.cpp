#include "IsalCrcHasher.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <isa-l/crc.h>

namespace {

// ISA-L's folding kernels are several times faster than table versions. Both CRCs here are reflected, start from
// all ones and end inverted; the library leaves that to the caller for CRC-32C only.
class IsalCrcHasher final : public Hasher
{
public:
    explicit IsalCrcHasher(bool castagnoli) : m_castagnoli(castagnoli) {}

    bool addData(std::span<const std::byte> data) override
    {
        const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
        std::size_t left = data.size();
        while (left > 0) {
            // The CRC-32C kernel takes an int length.
            const std::size_t part = std::min<std::size_t>(left, INT_MAX);
            if (m_castagnoli) {
                m_crc = ~crc32_iscsi(const_cast<unsigned char*>(bytes), static_cast<int>(part), ~m_crc);
            } else {
                m_crc = crc32_gzip_refl(m_crc, bytes, part);
            }
            bytes += part;
            left -= part;
        }
        return true;
    }

    std::optional<QByteArray> result() override
    {
        QByteArray bytes(4, '\0');
        for (int i = 0; i < 4; ++i) {
            bytes[i] = static_cast<char>((m_crc >> (24 - 8 * i)) & 0xffu);
        }
        return bytes;
    }

    QString errorString() const override { return QString(); }

    bool restart() override
    {
        m_crc = 0;
        return true;
    }

private:
    bool m_castagnoli;
    std::uint32_t m_crc = 0; // the finished value of what was fed so far
};

} // namespace

std::unique_ptr<Hasher> createIsalCrcHasher(HashAlgorithm algorithm)
{
    if (algorithm != HashAlgorithm::Crc32 && algorithm != HashAlgorithm::Crc32c) {
        return nullptr;
    }
    return std::make_unique<IsalCrcHasher>(algorithm == HashAlgorithm::Crc32c);
}
