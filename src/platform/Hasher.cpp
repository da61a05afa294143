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
