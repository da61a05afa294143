#include "PastedDigest.h"

#include "ChecksumLine.h"
#include "CloudDigest.h"
#include "HexDigest.h"

#include <array>

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

// The bytes of hex with single spaces or colons between groups of digits.
std::optional<QByteArray> groupedHexBytes(QByteArrayView text)
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
    return bytesFromHex(hex);
}

std::optional<PastedDigest> prefixed(QByteArrayView text)
{
    if (const std::optional<HashAlgorithm> algorithm = nameAt(text, ':')) {
        // "sha256:58:91:…", as some pages print a fingerprint: the digits may be grouped as a bare digest's are.
        const std::optional<QByteArray> digest = groupedHexBytes(text.sliced(text.indexOf(':') + 1).trimmed());
        if (digest && fits(*algorithm, *digest)) {
            return PastedDigest{*digest, AlgorithmSet{*algorithm}, {}, PastedForm::Hex};
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
    return PastedDigest{*decoded, AlgorithmSet{*algorithm}, {}, PastedForm::Base64};
}

std::optional<PastedDigest> groupedHex(QByteArrayView text)
{
    const std::optional<QByteArray> digest = groupedHexBytes(text);
    if (!digest) {
        return std::nullopt;
    }
    const AlgorithmSet candidates = algorithmsForDigestBytes(static_cast<std::size_t>(digest->size()));
    if (candidates.empty()) {
        return std::nullopt;
    }
    return PastedDigest{*digest, candidates, {}, PastedForm::Hex};
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
    return PastedDigest{entry.expected, candidates, entry.name, PastedForm::Hex};
}

// "HEX NAME" with one space, as a web page may copy a two-space line: a list reads it only where an algorithm is
// given, but a paste is one line of one digest, so the length says which.
std::optional<PastedDigest> singleSpaceLine(QByteArrayView text)
{
    const qsizetype space = text.indexOf(' ');
    if (space <= 0 || space + 1 >= text.size()) {
        return std::nullopt;
    }
    const std::optional<QByteArray> digest = bytesFromHex(text.first(space));
    if (!digest) {
        return std::nullopt;
    }
    const AlgorithmSet candidates = algorithmsForDigestBytes(static_cast<std::size_t>(digest->size()));
    if (candidates.empty()) {
        return std::nullopt;
    }
    return PastedDigest{*digest, candidates, text.sliced(space + 1).toByteArray(), PastedForm::Hex};
}

// What a web page copies around a digest: blanks, no-break spaces, and characters that show nothing (zero-width
// spaces and joiners, the word joiner, a byte-order mark), all in UTF-8.
QByteArrayView withoutInvisibleEnds(QByteArrayView text)
{
    static constexpr std::array<QByteArrayView, 7> kInvisible{
        "\xC2\xA0", "\xE2\x80\xAF", "\xE2\x80\x8B", "\xE2\x80\x8C", "\xE2\x80\x8D", "\xE2\x81\xA0", "\xEF\xBB\xBF"};
    for (bool trimmed = true; trimmed;) {
        text = text.trimmed();
        trimmed = false;
        for (const QByteArrayView invisible : kInvisible) {
            if (text.startsWith(invisible)) {
                text = text.sliced(invisible.size());
                trimmed = true;
            }
            if (text.endsWith(invisible)) {
                text.chop(invisible.size());
                trimmed = true;
            }
        }
    }
    return text;
}

} // namespace

std::optional<PastedDigest> recognizePastedDigest(QByteArrayView text)
{
    text = withoutInvisibleEnds(text);
    if (text.isEmpty() || text.contains('\n')) {
        return std::nullopt;
    }
    if (std::optional<PastedDigest> found = prefixed(text)) {
        return found;
    }
    if (std::optional<PastedDigest> found = recognizeCloudDigest(text)) {
        return found;
    }
    if (std::optional<PastedDigest> found = groupedHex(text)) {
        return found;
    }
    if (std::optional<PastedDigest> found = checksumLine(text)) {
        return found;
    }
    return singleSpaceLine(text);
}
