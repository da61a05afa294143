#include "Hasher.h"

#include "Blake2bHasher.h"
#include "Blake3Hasher.h"
#include "IsalCrcHasher.h"
#include "OpenSslHasher.h"
#include "XxHashHasher.h"

std::unique_ptr<Hasher> Hasher::create(HashAlgorithm algorithm, QString* error)
{
    const AlgorithmInfo& info = algorithmInfo(algorithm);
    switch (info.library) {
    case DigestLibrary::IsaL:
        return createIsalCrcHasher(algorithm);
    case DigestLibrary::XxHash:
        return createXxHashHasher(algorithm);
    case DigestLibrary::Blake3:
        return createBlake3Hasher(info.digestBytes);
    case DigestLibrary::Blake2:
        return createBlake2bHasher(info.digestBytes, error);
    case DigestLibrary::OpenSsl:
        break;
    }
    return createOpenSslHasher(algorithm, error);
}
