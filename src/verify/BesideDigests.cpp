#include "BesideDigests.h"

#include "CheckRow.h"
#include "ChecksumListReader.h"
#include "HexDigest.h"
#include "ListFile.h"
#include "PastedDigest.h"

#include <QCoreApplication>
#include <QFile>

namespace {

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
        if (!pasted->candidates.contains(*algorithm)) {
            return std::nullopt;
        }
        found.candidates = AlgorithmSet{*algorithm};
    }
    return found;
}

void search(const QByteArray& checksumPath, const QByteArray& dataName, std::optional<HashAlgorithm> named,
            bool bareAllowed, BesideSearch& into)
{
    QString unused;
    QFile file;
    if (!openListFile(checksumPath, file, &unused)) {
        return;
    }
    const std::size_t before = into.found.size();
    quint64 number = 0;
    // A digest published for this file, of an algorithm not computed here: said, never passed over.
    const auto unsupported = [&](qsizetype digits) {
        into.problems.append(QCoreApplication::translate("BesideDigests", "%1, line %2: %3 is not supported.")
                                 .arg(nameText(checksumPath.sliced(checksumPath.lastIndexOf('/') + 1)))
                                 .arg(number)
                                 .arg(blake2bName(digits)));
    };
    ParserOptions options;
    options.named = named;
    ChecksumLineParser parser(options);
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
                                   (bareAllowed && (entry.name == "-" || entry.name.endsWith("/" + dataName)));
        if (parsed.blake2bLength && aboutThisFile) {
            unsupported(parsed.unsupportedDigits);
        } else if (parsed.kind == LineKind::Entry) {
            if (aboutThisFile) {
                into.found.push_back({checksumPath, number, candidatesFor(entry, named), entry.expected});
            }
        } else if (parsed.kind == LineKind::Malformed && bareAllowed) {
            if (std::optional<PublishedDigest> bare = bareDigest(line, named)) {
                bare->source = checksumPath;
                bare->lineNumber = number;
                into.found.push_back(std::move(*bare));
            } else if (const std::optional<QByteArray> digest = bytesFromHex(line.trimmed());
                       digest && named == HashAlgorithm::Blake2b && !digest->isEmpty() &&
                       digest->size() < static_cast<qsizetype>(algorithmInfo(HashAlgorithm::Blake2b).digestBytes)) {
                unsupported(digest->size() * 2);
            }
        }
    }
    if (into.found.size() > before) {
        into.sources.append(checksumPath);
    }
}

} // namespace

QString blake2bName(qsizetype digits)
{
    return QStringLiteral("%1-%2").arg(algorithmName(HashAlgorithm::Blake2b)).arg(digits * 4);
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
    return algorithmsForDigestBytes(bytes);
}

std::optional<HashAlgorithm> algorithmNamedBy(const QByteArray& checksumPath)
{
    const QByteArray name = checksumPath.sliced(checksumPath.lastIndexOf('/') + 1);
    for (const BesideName& beside : kBesideNames) {
        const bool suffix = beside.name[0] == '.';
        if (suffix ? name.endsWith(beside.name) : name == beside.name) {
            return beside.algorithm;
        }
    }
    return std::nullopt;
}

BesideSearch findPublishedDigests(const QByteArray& dataPath)
{
    const qsizetype slash = dataPath.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray() : dataPath.first(slash + 1);
    const QByteArray dataName = dataPath.sliced(slash + 1);
    BesideSearch result;
    for (const BesideName& beside : kBesideNames) {
        const bool suffix = beside.name[0] == '.';
        const QByteArray path = suffix ? dataPath + beside.name : folder + beside.name;
        search(path, dataName, beside.algorithm, suffix, result);
    }
    return result;
}
