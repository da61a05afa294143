#include "Hasher.h"

#include "IsalCrc32Hasher.h"
#include "OpenSslHasher.h"

std::unique_ptr<Hasher> Hasher::create(HashAlgorithm algorithm, QString* error)
{
    if (algorithm == HashAlgorithm::Crc32) {
        return createIsalCrc32Hasher();
    }
    return createOpenSslHasher(algorithm, error);
}

QString algorithmName(HashAlgorithm algorithm)
{
    switch (algorithm) {
    case HashAlgorithm::Crc32:
        return QStringLiteral("CRC-32");
    case HashAlgorithm::Md5:
        return QStringLiteral("MD5");
    case HashAlgorithm::Sha1:
        return QStringLiteral("SHA-1");
    case HashAlgorithm::Sha256:
        return QStringLiteral("SHA-256");
    }
    return QString();
}
