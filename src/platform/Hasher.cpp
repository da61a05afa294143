#include "Hasher.h"

#include "IsalCrc32Hasher.h"
#include "OpenSslHasher.h"

std::unique_ptr<Hasher> Hasher::create(HashAlgorithm algorithm, QString* error)
{
    switch (algorithmInfo(algorithm).library) {
    case DigestLibrary::IsaL:
        return createIsalCrc32Hasher();
    case DigestLibrary::OpenSsl:
        break;
    }
    return createOpenSslHasher(algorithm, error);
}
