#include "BesideDigests.h"

#include "BesideLines.h"
#include "CheckRow.h"
#include "ChecksumListReader.h"
#include "HexDigest.h"
#include "ListFile.h"
#include "PastedDigest.h"

#include <algorithm>
#include <dirent.h>
#include <QCoreApplication>
#include <QFile>

namespace {

// A name promises a family: "x.b2" holds BLAKE2b of whatever length b2sum -l gave it.
bool promisedAmong(HashAlgorithm named, const AlgorithmSet& candidates)
{
    bool among = false;
    candidates.forEach([&](HashAlgorithm candidate) { among = among || familyOf(candidate) == familyOf(named); });
    return among;
}

// A bare digest on a NAME.suffix file's line: of the suffix's algorithm when the length fits it.
std::optional<PublishedDigest> bareDigest(QByteArrayView line, std::optional<HashAlgorithm> algorithm)
{
    const std::optional<PastedDigest> pasted = recognizePastedDigest(line);
    if (!pasted || !pasted->name.isEmpty()) {
        return std::nullopt;
    }
    PublishedDigest found;
    found.expected = pasted->digest;
    found.candidates = pasted->candidates;
    if (algorithm) {
        // "app.iso.b2" of b2sum -l 160: BLAKE2b of the digest's length.
        const std::optional<HashAlgorithm> ofLength =
            algorithmOfLength(*algorithm, static_cast<std::size_t>(pasted->digest.size()));
        if (!pasted->candidates.contains(*algorithm) && !ofLength) {
            found.promised = algorithm; // checked as what its length says, but never silently
            return found;
        }
        found.candidates = AlgorithmSet{ofLength.value_or(*algorithm)};
    }
    return found;
}

// One checksum file beside the data file: where it is, and what its name says of it.
struct BesideFile
{
    QByteArray path;
    std::optional<HashAlgorithm> named;
    bool sidecar = false; // NAME.suffix: about NAME alone
    std::size_t rank = 0;
};

void search(const BesideFile& beside, const QByteArray& dataName, BesideSearch& into)
{
    QString unused;
    QFile file;
    if (!openListFile(beside.path, file, &unused)) {
        return;
    }
    const std::size_t before = into.found.size();
    const qsizetype problemsBefore = into.problems.size();
    quint64 entries = 0;
    QByteArray otherName; // the first name a line gives that is not this file's
    quint64 malformed = 0;
    quint64 number = 0;
    ParserOptions options;
    options.named = beside.named;
    ChecksumLineParser parser(options);
    const QString fileName = nameText(beside.path.sliced(beside.path.lastIndexOf('/') + 1));
    const auto keep = [&](PublishedDigest found) {
        if (found.promised) {
            CheckRow asRow;
            asRow.candidates = found.candidates;
            // A weaker digest than the name promised may be a sign of tampering: counted, not only noted.
            into.problems.append(QCoreApplication::translate("BesideDigests",
                                                             "%1 is named for %2, but line %3 holds a digest of "
                                                             "%4 hex digits, checked as %5.")
                                     .arg(fileName, algorithmName(*found.promised))
                                     .arg(number)
                                     .arg(found.expected.size() * 2)
                                     .arg(algorithmText(asRow)));
        }
        into.found.push_back(std::move(found));
    };
    // Line by line with a bound on each line: a list of a million lines is streamed, a hostile line is not kept.
    while (!file.atEnd()) {
        const QByteArray raw = file.readLine(ChecksumListReader::kDefaultLineLimit);
        ++number;
        if (raw.isEmpty()) {
            break;
        }
        QByteArrayView line(raw);
        if (line.endsWith('\n')) {
            line.chop(1);
        } else if (!file.atEnd()) {
            // Longer than any line worth reading: skipped to its end, counted as one line.
            QByteArray rest;
            do {
                rest = file.readLine(ChecksumListReader::kDefaultLineLimit);
            } while (!rest.isEmpty() && !rest.endsWith('\n'));
            continue;
        }
        const ParsedLine parsed = parser.parse(line);
        const ChecksumEntry& entry = parsed.entry;
        // A NAME.suffix file is about NAME alone, whatever its line calls it: "-" when it was made from standard
        // input (`sha256sum < NAME > NAME.sha256`), or NAME with the folder it was made in.
        const bool aboutThisFile = entry.name == dataName || entry.name == "./" + dataName ||
                                   (beside.sidecar && (entry.name == "-" || entry.name.endsWith("/" + dataName)));
        if (parsed.kind == LineKind::Entry) {
            ++entries;
            if (aboutThisFile) {
                PublishedDigest found{beside.path, number, candidatesFor(entry, beside.named), entry.expected, {}};
                if (beside.named && !promisedAmong(*beside.named, found.candidates)) {
                    found.promised = beside.named; // checked as what it is, but never silently
                }
                keep(std::move(found));
            } else if (otherName.isEmpty()) {
                otherName = entry.name;
            }
            continue;
        }
        if (parsed.kind != LineKind::Malformed) {
            continue;
        }
        ++malformed;
        if (beside.sidecar) {
            if (std::optional<PublishedDigest> bare = bareDigest(line, beside.named)) {
                bare->source = beside.path;
                bare->lineNumber = number;
                keep(std::move(*bare));
                continue;
            }
        }
        // A line meant for this file that cannot be used is said, never passed over: a digest cut short may be
        // the trace of a tampered or broken download.
        if (const std::optional<QString> why = besideLineProblem(line, dataName, beside.named, beside.sidecar)) {
            into.problems.append(QCoreApplication::translate("BesideDigests", "%1, line %2 could not be used: %3")
                                     .arg(nameText(beside.path.sliced(beside.path.lastIndexOf('/') + 1)))
                                     .arg(number)
                                     .arg(*why));
        }
    }
    if (into.found.size() > before) {
        into.sources.append(beside.path);
    } else if (beside.sidecar && entries > 0 && into.problems.size() == problemsBefore) {
        // Named for this file, yet about another: a file renamed after download, or a sidecar that belongs elsewhere.
        into.problems.append(QCoreApplication::translate("BesideDigests",
                                                         "%1 gives digests for \u201c%2\u201d, not for "
                                                         "\u201c%3\u201d.")
                                 .arg(nameText(beside.path.sliced(beside.path.lastIndexOf('/') + 1)),
                                      nameText(otherName), nameText(dataName)));
    } else if (into.problems.size() == problemsBefore && malformed > 0 && (beside.sidecar || entries == 0)) {
        // Nothing in it can be read at all: an error page saved in its place, say.
        into.problems.append(QCoreApplication::translate(
                                 "BesideDigests", "%1 could not be understood: no line of it is a checksum line.")
                                 .arg(nameText(beside.path.sliced(beside.path.lastIndexOf('/') + 1))));
    }
}

// The checksum files in dataPath's folder, whatever the case of their names, in the order searched. Where the folder
// cannot be listed, the usual names are tried as they are.
std::vector<BesideFile> besideFiles(const QByteArray& folder, const QByteArray& dataName)
{
    std::vector<BesideFile> files;
    DIR* directory = ::opendir(folder.isEmpty() ? "." : folder.constData());
    if (!directory) {
        for (std::size_t rank = 0; rank < kBesideNames.size(); ++rank) {
            const BesideName& beside = kBesideNames[rank];
            const bool suffix = beside.name[0] == '.';
            files.push_back(
                {suffix ? folder + dataName + beside.name : folder + beside.name, beside.algorithm, suffix, rank});
        }
        return files;
    }
    while (const dirent* entry = ::readdir(directory)) {
        const QByteArray name(entry->d_name);
        const std::optional<ChecksumFileName> named = checksumFileName(name);
        bool sidecar = named && !named->dataName.isEmpty();
        if (sidecar && named->dataName != dataName && named->algorithm == HashAlgorithm::Crc32) {
            sidecar = false; // "release.sfv" lists the folder's files, this one perhaps among them
        }
        if (named && name != dataName && (!sidecar || named->dataName == dataName)) {
            files.push_back({folder + name, named->algorithm, sidecar, named->rank});
        }
    }
    ::closedir(directory);
    std::sort(files.begin(), files.end(), [](const BesideFile& a, const BesideFile& b) {
        return a.rank != b.rank ? a.rank < b.rank : a.path < b.path;
    });
    return files;
}

} // namespace

QString publishedNote(const PublishedDigest& digest)
{
    QString note = QCoreApplication::translate("BesideDigests", "from %1, line %2")
                       .arg(nameText(digest.source.sliced(digest.source.lastIndexOf('/') + 1)))
                       .arg(digest.lineNumber);
    if (digest.promised) {
        note += QCoreApplication::translate("BesideDigests", "; its name promised %1, and the digest is not one")
                    .arg(algorithmName(*digest.promised));
    }
    return note;
}

AlgorithmSet candidatesFor(const ChecksumEntry& entry, std::optional<HashAlgorithm> named)
{
    if (entry.form != LineForm::Untagged) {
        return AlgorithmSet{entry.algorithm};
    }
    const auto bytes = static_cast<std::size_t>(entry.expected.size());
    if (named && algorithmInfo(*named).digestBytes == bytes) {
        return AlgorithmSet{*named};
    }
    if (named && familyOf(entry.algorithm) == *named) {
        return AlgorithmSet{entry.algorithm}; // "B2SUMS" of b2sum -l 256: BLAKE2b-256
    }
    // A list whose name says nothing may be b2sum's at any length: BLAKE2b of the line's length is computed too, so
    // that such a list is never answered with another algorithm's mismatch.
    return algorithmsForDigestBytes(bytes, named ? Blake2bLengths::Common : Blake2bLengths::Any);
}

BesideSearch findPublishedDigests(const QByteArray& dataPath)
{
    const qsizetype slash = dataPath.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray() : dataPath.first(slash + 1);
    const QByteArray dataName = dataPath.sliced(slash + 1);
    BesideSearch result;
    for (const BesideFile& beside : besideFiles(folder, dataName)) {
        search(beside, dataName, result);
    }
    return result;
}
