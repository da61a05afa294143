#include "XxHashHasher.h"

#include <xxhash.h>

#if defined(__x86_64__)
#include <xxh_x86dispatch.h>
#endif

namespace {

// XXH3's plain entry points are the library's SSE2 build; on x86-64 the dispatching ones pick AVX2 or AVX-512 as the
// processor allows, about three times as fast, which matters where the page-cache copy should set the pace.
XXH_errorcode updateXxh3(XXH3_state_t* state, const void* bytes, std::size_t size, bool wide)
{
#if defined(__x86_64__)
    return wide ? XXH3_128bits_update_dispatch(state, bytes, size) : XXH3_64bits_update_dispatch(state, bytes, size);
#else
    return wide ? XXH3_128bits_update(state, bytes, size) : XXH3_64bits_update(state, bytes, size);
#endif
}

// The library's states are made once per hasher and reset for each file: for a small file, making one costs about
// as much as hashing it.
class XxHashHasher final : public Hasher
{
public:
    explicit XxHashHasher(HashAlgorithm algorithm) : m_algorithm(algorithm) { restart(); }
    ~XxHashHasher() override
    {
        XXH32_freeState(m_state32);
        XXH64_freeState(m_state64);
        XXH3_freeState(m_state3);
    }
    XxHashHasher(const XxHashHasher&) = delete;
    XxHashHasher& operator=(const XxHashHasher&) = delete;

    bool valid() const { return m_state32 && m_state64 && m_state3; }

    bool addData(std::span<const std::byte> data) override
    {
        const void* bytes = data.data();
        switch (m_algorithm) {
        case HashAlgorithm::Xxh32:
            return XXH32_update(m_state32, bytes, data.size()) == XXH_OK;
        case HashAlgorithm::Xxh64:
            return XXH64_update(m_state64, bytes, data.size()) == XXH_OK;
        case HashAlgorithm::Xxh3:
            return updateXxh3(m_state3, bytes, data.size(), false) == XXH_OK;
        default:
            return updateXxh3(m_state3, bytes, data.size(), true) == XXH_OK;
        }
    }

    // The canonical forms, big-endian: the hex the other tools print.
    std::optional<QByteArray> result() override
    {
        switch (m_algorithm) {
        case HashAlgorithm::Xxh32: {
            XXH32_canonical_t canonical;
            XXH32_canonicalFromHash(&canonical, XXH32_digest(m_state32));
            return bytesOf(canonical);
        }
        case HashAlgorithm::Xxh64: {
            XXH64_canonical_t canonical;
            XXH64_canonicalFromHash(&canonical, XXH64_digest(m_state64));
            return bytesOf(canonical);
        }
        case HashAlgorithm::Xxh3: {
            XXH64_canonical_t canonical;
            XXH64_canonicalFromHash(&canonical, XXH3_64bits_digest(m_state3));
            return bytesOf(canonical);
        }
        default: {
            XXH128_canonical_t canonical;
            XXH128_canonicalFromHash(&canonical, XXH3_128bits_digest(m_state3));
            return bytesOf(canonical);
        }
        }
    }

    QString errorString() const override { return QString(); }

    bool restart() override
    {
        if (!valid()) {
            return false;
        }
        switch (m_algorithm) {
        case HashAlgorithm::Xxh32:
            return XXH32_reset(m_state32, 0) == XXH_OK;
        case HashAlgorithm::Xxh64:
            return XXH64_reset(m_state64, 0) == XXH_OK;
        case HashAlgorithm::Xxh3:
            return XXH3_64bits_reset(m_state3) == XXH_OK;
        default:
            return XXH3_128bits_reset(m_state3) == XXH_OK;
        }
    }

private:
    template <typename Canonical> static QByteArray bytesOf(const Canonical& canonical)
    {
        return QByteArray(reinterpret_cast<const char*>(canonical.digest), sizeof canonical.digest);
    }

    HashAlgorithm m_algorithm;
    XXH32_state_t* m_state32 = XXH32_createState();
    XXH64_state_t* m_state64 = XXH64_createState();
    XXH3_state_t* m_state3 = XXH3_createState();
};

} // namespace

std::unique_ptr<Hasher> createXxHashHasher(HashAlgorithm algorithm)
{
    switch (algorithm) {
    case HashAlgorithm::Xxh32:
    case HashAlgorithm::Xxh64:
    case HashAlgorithm::Xxh3:
    case HashAlgorithm::Xxh128:
        break;
    default:
        return nullptr;
    }
    auto hasher = std::make_unique<XxHashHasher>(algorithm);
    return hasher->valid() ? std::move(hasher) : nullptr;
}
