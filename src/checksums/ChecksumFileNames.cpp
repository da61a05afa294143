#include "ChecksumFileNames.h"

namespace {

bool endsWithAnyCase(QByteArrayView name, QByteArrayView ending)
{
    return name.size() >= ending.size() && name.last(ending.size()).compare(ending, Qt::CaseInsensitive) == 0;
}

bool sameAnyCase(QByteArrayView a, QByteArrayView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

std::optional<ChecksumFileName> checksumFileName(QByteArrayView fileName)
{
    // Lists are also published as text files for browsers that would not show them otherwise.
    const QByteArrayView base = endsWithAnyCase(fileName, ".txt") ? fileName.chopped(4) : fileName;
    for (std::size_t rank = 0; rank < kBesideNames.size(); ++rank) {
        const BesideName& beside = kBesideNames[rank];
        const QByteArrayView known(beside.name);
        if (known.startsWith('.')) {
            // A file called ".sha256" alone is a hidden data file, not a sidecar of a file with no name.
            if (fileName.size() > known.size() && endsWithAnyCase(fileName, known)) {
                return ChecksumFileName{rank, beside.algorithm, fileName.chopped(known.size()).toByteArray()};
            }
        } else if (!beside.algorithm) {
            // The untyped list, alone or after a release's name: "Fedora-Server-39-x86_64-CHECKSUM".
            if (sameAnyCase(base, known) || endsWithAnyCase(base, "-" + known.toByteArray())) {
                return ChecksumFileName{rank, std::nullopt, {}};
            }
        } else if (sameAnyCase(base, known) || sameAnyCase(base, known.chopped(1))) {
            return ChecksumFileName{rank, beside.algorithm, {}}; // "SHA256SUMS", "sha256sum.txt"
        }
    }
    // Any other list of sums, its lines telling their algorithm by tag or length.
    if (base.size() > 4 && endsWithAnyCase(base, "SUMS")) {
        return ChecksumFileName{kBesideNames.size(), std::nullopt, {}};
    }
    return std::nullopt;
}

std::optional<HashAlgorithm> algorithmNamedBy(const QByteArray& checksumPath)
{
    const std::optional<ChecksumFileName> named =
        checksumFileName(checksumPath.sliced(checksumPath.lastIndexOf('/') + 1));
    return named ? named->algorithm : std::nullopt;
}
