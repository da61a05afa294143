#include "OpenSslHasher.h"

#include <array>
#include <atomic>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <QCoreApplication>
#include <QStringList>

namespace {

// The implementation fetched once and kept for the process: left to fetch it on every set-up, the library spends a
// microsecond looking it up, as long as digesting a small file takes. A refusal is not kept, so that each one is
// asked again and comes with the library's reason.
const EVP_MD* messageDigestFor(HashAlgorithm algorithm)
{
    if (indexOf(algorithm) >= kNamedAlgorithmCount) {
        return nullptr; // the lengths of a family are computed by its own library
    }
    static std::array<std::atomic<EVP_MD*>, kNamedAlgorithmCount> fetched{};
    std::atomic<EVP_MD*>& kept = fetched[indexOf(algorithm)];
    if (EVP_MD* known = kept.load(std::memory_order_acquire)) {
        return known;
    }
    const AlgorithmInfo& info = algorithmInfo(algorithm);
    // The name is a literal of the table's, so it ends with a NUL.
    EVP_MD* found = info.library == DigestLibrary::OpenSsl && !info.libraryName.empty()
                        ? EVP_MD_fetch(nullptr, info.libraryName.data(), nullptr)
                        : nullptr;
    if (!found) {
        return nullptr;
    }
    EVP_MD* earlier = nullptr;
    if (!kept.compare_exchange_strong(earlier, found, std::memory_order_acq_rel)) {
        EVP_MD_free(found); // another thread kept its own first
        return earlier;
    }
    return found;
}

// The library's own words for what it just refused, oldest first; its error queue is per thread, and is left
// empty for the next call.
QString libraryReason(HashAlgorithm algorithm, const char* step)
{
    QStringList reasons;
    for (unsigned long code = ERR_get_error(); code != 0; code = ERR_get_error()) {
        const char* reason = ERR_reason_error_string(code);
        const QString text = reason ? QString::fromUtf8(reason) : QStringLiteral("error %1").arg(code, 0, 16);
        if (!reasons.contains(text)) {
            reasons.append(text);
        }
    }
    if (reasons.isEmpty()) {
        reasons.append(QCoreApplication::translate("Hasher", "no reason given"));
    }
    return QCoreApplication::translate("Hasher", "The cryptographic library refused to %1 %2: %3.")
        .arg(QString::fromLatin1(step), algorithmName(algorithm), reasons.join(QStringLiteral("; ")));
}

class OpenSslHasher final : public Hasher
{
public:
    OpenSslHasher(HashAlgorithm algorithm, EVP_MD_CTX* context) : m_algorithm(algorithm), m_context(context) {}
    ~OpenSslHasher() override { EVP_MD_CTX_free(m_context); }
    OpenSslHasher(const OpenSslHasher&) = delete;
    OpenSslHasher& operator=(const OpenSslHasher&) = delete;

    bool addData(std::span<const std::byte> data) override
    {
        if (EVP_DigestUpdate(m_context, data.data(), data.size()) != 1) {
            m_error = libraryReason(m_algorithm, "compute");
            return false;
        }
        return true;
    }

    std::optional<QByteArray> result() override
    {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        if (EVP_DigestFinal_ex(m_context, digest, &length) != 1) {
            m_error = libraryReason(m_algorithm, "finish");
            return std::nullopt;
        }
        return QByteArray(reinterpret_cast<const char*>(digest), static_cast<qsizetype>(length));
    }

    QString errorString() const override { return m_error; }

    bool restart() override
    {
        // The context and what the library set up for it are kept: for a small file, making them costs about as
        // much as the digest.
        if (EVP_DigestInit_ex2(m_context, nullptr, nullptr) == 1) {
            return true;
        }
        ERR_clear_error(); // a new hasher asks again, and gives the library's reason
        return false;
    }

private:
    HashAlgorithm m_algorithm;
    EVP_MD_CTX* m_context;
    QString m_error;
};

} // namespace

std::unique_ptr<Hasher> createOpenSslHasher(HashAlgorithm algorithm, QString* error)
{
    const EVP_MD* type = messageDigestFor(algorithm);
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    if (!type || !context || EVP_DigestInit_ex(context, type, nullptr) != 1) {
        EVP_MD_CTX_free(context);
        *error = libraryReason(algorithm, "set up");
        return nullptr;
    }
    return std::make_unique<OpenSslHasher>(algorithm, context);
}
