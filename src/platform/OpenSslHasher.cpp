#include "OpenSslHasher.h"

#include <openssl/evp.h>
#include <stdexcept>

namespace {

const EVP_MD* messageDigestFor(HashAlgorithm algorithm)
{
    switch (algorithm) {
    case HashAlgorithm::Md5:
        return EVP_md5();
    case HashAlgorithm::Sha1:
        return EVP_sha1();
    case HashAlgorithm::Sha256:
        return EVP_sha256();
    case HashAlgorithm::Crc32:
        break;
    }
    throw std::invalid_argument("not an OpenSSL message digest");
}

class OpenSslHasher final : public Hasher
{
public:
    explicit OpenSslHasher(HashAlgorithm algorithm) : m_context(EVP_MD_CTX_new())
    {
        if (!m_context || EVP_DigestInit_ex(m_context, messageDigestFor(algorithm), nullptr) != 1) {
            EVP_MD_CTX_free(m_context);
            throw std::runtime_error("cannot initialise message digest");
        }
    }
    ~OpenSslHasher() override { EVP_MD_CTX_free(m_context); }
    OpenSslHasher(const OpenSslHasher&) = delete;
    OpenSslHasher& operator=(const OpenSslHasher&) = delete;

    void addData(std::span<const std::byte> data) override
    {
        if (EVP_DigestUpdate(m_context, data.data(), data.size()) != 1) {
            throw std::runtime_error("message digest update failed");
        }
    }

    QByteArray result() override
    {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        if (EVP_DigestFinal_ex(m_context, digest, &length) != 1) {
            throw std::runtime_error("message digest final failed");
        }
        return QByteArray(reinterpret_cast<const char*>(digest), static_cast<qsizetype>(length));
    }

private:
    EVP_MD_CTX* m_context;
};

} // namespace

std::unique_ptr<Hasher> createOpenSslHasher(HashAlgorithm algorithm)
{
    return std::make_unique<OpenSslHasher>(algorithm);
}
