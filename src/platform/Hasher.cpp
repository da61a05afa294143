#include "Hasher.h"

#include "Blake3Hasher.h"
#include "IsalCrcHasher.h"
#include "OpenSslHasher.h"
#include "XxHashHasher.h"

std::unique_ptr<Hasher> Hasher::create(HashAlgorithm algorithm, QString* error)
{
    switch (algorithmInfo(algorithm).library) {
    case DigestLibrary::IsaL:
        return createIsalCrcHasher(algorithm);
    case DigestLibrary::XxHash:
        return createXxHashHasher(algorithm);
    case DigestLibrary::Blake3:
        return createBlake3Hasher();
    case DigestLibrary::OpenSsl:
        break;
    }
    return createOpenSslHasher(algorithm, error);
}
