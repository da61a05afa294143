#include "PastedDigest.h"

#include "ChecksumLine.h"
#include "HexDigest.h"

namespace {

std::optional<HashAlgorithm> nameAt(QByteArrayView text, char separator)
{
    const qsizetype at = text.indexOf(separator);
    if (at <= 0) {
        return std::nullopt;
    }
    return algorithmFromName(std::string_view(text.data(), static_cast<std::size_t>(at)));
}

bool fits(HashAlgorithm algorithm, const QByteArray& digest)
{
    return static_cast<std::size_t>(digest.size()) == algorithmInfo(algorithm).digestBytes;
}

std::optional<PastedDigest> prefixed(QByteArrayView text)
{
    if (const std::optional<HashAlgorithm> algorithm = nameAt(text, ':')) {
        const QByteArrayView hex = text.sliced(text.indexOf(':') + 1).trimmed();
        const std::optional<QByteArray> digest = bytesFromHex(hex);
        if (digest && fits(*algorithm, *digest)) {
            return PastedDigest{*digest, AlgorithmSet{*algorithm}, {}};
        }
        return std::nullopt;
    }
    const std::optional<HashAlgorithm> algorithm = nameAt(text, '-');
    if (!algorithm || !algorithmInfo(*algorithm).integrityValue) {
        return std::nullopt;
    }
    const auto decoded = QByteArray::fromBase64Encoding(text.sliced(text.indexOf('-') + 1).toByteArray(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || !fits(*algorithm, *decoded)) {
        return std::nullopt;
    }
    return PastedDigest{*decoded, AlgorithmSet{*algorithm}, {}};
}

// Hex with single spaces or colons between groups of digits.
std::optional<PastedDigest> groupedHex(QByteArrayView text)
{
    QByteArray hex;
    char previous = ' ';
    for (const char c : text) {
        const bool separator = c == ' ' || c == ':';
        if (separator && (previous == ' ' || previous == ':')) {
            return std::nullopt;
        }
        if (!separator) {
            hex += c;
        }
        previous = c;
    }
    const std::optional<QByteArray> digest = bytesFromHex(hex);
    if (!digest) {
        return std::nullopt;
    }
    const AlgorithmSet candidates = algorithmsForDigestBytes(static_cast<std::size_t>(digest->size()));
    if (candidates.empty()) {
        return std::nullopt;
    }
    return PastedDigest{*digest, candidates, {}};
}

std::optional<PastedDigest> checksumLine(QByteArrayView text)
{
    ChecksumLineParser parser;
    const ParsedLine parsed = parser.parse(text);
    if (parsed.kind != LineKind::Entry) {
        return std::nullopt;
    }
    const ChecksumEntry& entry = parsed.entry;
    const AlgorithmSet candidates = entry.form == LineForm::Untagged
                                        ? algorithmsForDigestBytes(static_cast<std::size_t>(entry.expected.size()))
                                        : AlgorithmSet{entry.algorithm};
    return PastedDigest{entry.expected, candidates, entry.name};
}

} // namespace

std::optional<PastedDigest> recognizePastedDigest(QByteArrayView text)
{
    text = text.trimmed();
    if (text.isEmpty() || text.contains('\n')) {
        return std::nullopt;
    }
    if (std::optional<PastedDigest> found = prefixed(text)) {
        return found;
    }
    if (std::optional<PastedDigest> found = groupedHex(text)) {
        return found;
    }
    return checksumLine(text);
}
