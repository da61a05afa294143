#include "ChecksumLine.h"

#include "HexDigest.h"
#include "LineTags.h"
#include "NameEscape.h"

#include <algorithm>

namespace {

constexpr QByteArrayView kXxh3Prefix = "XXH3_";

qsizetype hexLength(HashAlgorithm algorithm)
{
    return static_cast<qsizetype>(algorithmInfo(algorithm).digestBytes * 2);
}

// A family with lengths at so many bits: BLAKE2b-256, BLAKE3-512; any whole number of bytes up to 64.
std::optional<HashAlgorithm> ofBits(HashAlgorithm family, quint64 bits)
{
    return bits % 8 == 0 ? algorithmOfLength(family, static_cast<std::size_t>(std::min<quint64>(bits / 8, 1000)))
                         : std::nullopt;
}

// A name as the other tools take it from a line: up to its first NUL, or refused where it is escaped.
std::optional<QByteArray> nameFrom(QByteArrayView raw, bool escaped)
{
    if (escaped) {
        return raw.contains('\0') ? std::nullopt : unescapeName(raw);
    }
    const qsizetype nul = raw.indexOf('\0');
    return (nul < 0 ? raw : raw.first(nul)).toByteArray();
}

// The digits of "HEX  NAME" or "HEX *NAME" when no algorithm has that length, up to the longest digests in use
// (BLAKE2b's 512 bits may be cut to any whole number of bytes); 0 otherwise.
qsizetype unsupportedLength(QByteArrayView rest)
{
    const qsizetype digits = hexRun(rest);
    constexpr qsizetype kLongest = 128;
    const bool shaped = digits > 0 && digits % 2 == 0 && digits <= kLongest && rest.size() > digits + 2 &&
                        isBlank(rest[digits]) && (rest[digits + 1] == ' ' || rest[digits + 1] == '*');
    return shaped && !preferredAlgorithmForDigestBytes(static_cast<std::size_t>(digits / 2)) ? digits : 0;
}

} // namespace

bool ChecksumLineParser::sfvAllowed() const
{
    return !m_options.algorithm || *m_options.algorithm == HashAlgorithm::Crc32;
}

ParsedLine ChecksumLineParser::parse(QByteArrayView line)
{
    if (line.endsWith('\r')) {
        line.chop(1);
    }
    if (line.isEmpty() || line.startsWith('#') || (line.startsWith(';') && sfvAllowed())) {
        return {LineKind::Skipped, {}, {}};
    }
    qsizetype i = 0;
    while (i < line.size() && isBlank(line[i])) {
        ++i;
    }
    const bool escaped = i < line.size() && line[i] == '\\';
    const QByteArrayView rest = line.sliced(i + (escaped ? 1 : 0));

    std::optional<ChecksumEntry> entry;
    const auto tag = tagAt(rest);
    if (tag) {
        entry = parseTagged(rest, escaped);
    } else {
        entry = parseUntagged(rest, escaped);
    }
    const std::optional<HashAlgorithm> tagged = tag ? std::optional(tag->algorithm) : std::nullopt;
    // A tagged line cut short or spoiled ("XXH64 (f) = 092f7eb0") is wrong, not an SFV line naming "XXH64 (f) =".
    if (!entry && sfvAllowed() && !(tag && taggedShape(rest, tag->end))) {
        entry = parseSfv(line);
    }
    if (!entry && !tag && !m_options.algorithm) {
        return {LineKind::Malformed, {}, tagged, unsupportedLength(rest)};
    }
    if (!entry || (m_options.listIsStandardInput && entry->name == "-")) {
        return {LineKind::Malformed, {}, tagged};
    }
    return {LineKind::Entry, *entry, tagged};
}

std::optional<ChecksumEntry> ChecksumLineParser::parseTagged(QByteArrayView rest, bool escaped) const
{
    const TagMatch tag = *tagAt(rest);
    HashAlgorithm algorithm = tag.algorithm;
    // A given BLAKE2b takes its lines of any length, as the GNU tools do when checking; a given length, only its own.
    if (m_options.algorithm && *m_options.algorithm != algorithm && familyOf(*m_options.algorithm) != algorithm) {
        return std::nullopt;
    }
    qsizetype i = tag.end;
    if (i < rest.size() && rest[i] == '-') {
        // "SHA256-256 (": the length must be the algorithm's own, or one of its family's, and one space at most
        // may follow it.
        quint64 bits = 0;
        const std::optional<qsizetype> end = bitLengthAt(rest, i + 1, bits);
        const std::optional<HashAlgorithm> ofLength = end ? ofBits(algorithm, bits) : std::nullopt;
        if (!end || (bits != algorithmInfo(algorithm).digestBytes * 8 && !ofLength)) {
            return std::nullopt;
        }
        algorithm = ofLength ? *ofLength : algorithm;
        i = *end;
    } else if (i < rest.size() && isBlank(rest[i])) {
        ++i;
    }
    if (i < rest.size() && rest[i] == ' ') {
        ++i;
    }
    if (i >= rest.size() || rest[i] != '(') {
        return std::nullopt;
    }
    ++i;
    // The name ends at the last ')': names are not escaped in the BSD tools' lines, so ')' may be in them.
    const qsizetype close = rest.lastIndexOf(')');
    if (close < i) {
        return std::nullopt;
    }
    const QByteArrayView rawName = rest.sliced(i, close - i);
    qsizetype at = close + 1;
    while (at < rest.size() && isBlank(rest[at])) {
        ++at;
    }
    if (at >= rest.size() || rest[at] != '=') {
        return std::nullopt;
    }
    ++at;
    while (at < rest.size() && isBlank(rest[at])) {
        ++at;
    }
    // The digest, like the name, ends at a NUL.
    QByteArrayView hex = rest.sliced(at);
    if (const qsizetype nul = hex.indexOf('\0'); nul >= 0) {
        hex = hex.first(nul);
    }
    if (m_options.algorithm && familyOf(*m_options.algorithm) != *m_options.algorithm &&
        *m_options.algorithm != algorithm) {
        return std::nullopt;
    }
    if (hex.size() != hexLength(algorithm)) {
        return std::nullopt;
    }
    const std::optional<QByteArray> digest = bytesFromHex(hex);
    const std::optional<QByteArray> name = nameFrom(rawName, escaped);
    if (!digest || !name) {
        return std::nullopt;
    }
    return ChecksumEntry{LineForm::Tagged, algorithm, *digest, *name, false};
}

// The algorithm an untagged line of so many digits is read as: the one given, else the one its length and the
// list's name say. BLAKE2b, given or named, takes any of its lengths, as its own tool writes them with -l.
std::optional<HashAlgorithm> ChecksumLineParser::untaggedAlgorithm(qsizetype digits) const
{
    // BLAKE3 given takes its lengths too (its tool's --length); named, only BLAKE2b's list names carry a length.
    const bool blake3 = m_options.algorithm == HashAlgorithm::Blake3;
    const std::optional<HashAlgorithm> family = m_options.algorithm ? m_options.algorithm : m_options.named;
    if ((family == HashAlgorithm::Blake2b || blake3) && digits % 2 == 0 && digits <= 128) {
        return ofBits(*family, static_cast<quint64>(digits) * 4);
    }
    if (m_options.algorithm) {
        return digits == hexLength(*m_options.algorithm) ? m_options.algorithm : std::nullopt;
    }
    const std::optional<HashAlgorithm> byLength =
        digits % 2 == 0 ? preferredAlgorithmForDigestBytes(static_cast<std::size_t>(digits / 2)) : std::nullopt;
    return byLength && digits == hexLength(*byLength) ? byLength : std::nullopt;
}

std::optional<ChecksumEntry> ChecksumLineParser::parseUntagged(QByteArrayView rest, bool escaped)
{
    // "XXH3_HEX  NAME": XXH3's own untagged form, which keeps it apart from XXH64's of the same length.
    const bool xxh3 = rest.startsWith(kXxh3Prefix);
    if (xxh3) {
        rest = rest.sliced(kXxh3Prefix.size());
    }
    const qsizetype digits = hexRun(rest);
    std::optional<HashAlgorithm> algorithm = untaggedAlgorithm(digits);
    if (xxh3) {
        const bool fits = digits == hexLength(HashAlgorithm::Xxh3) &&
                          (!m_options.algorithm || *m_options.algorithm == HashAlgorithm::Xxh3);
        algorithm = fits ? std::optional(HashAlgorithm::Xxh3) : std::nullopt;
    }
    if (!algorithm || rest.size() < digits + 1 || !isBlank(rest[digits])) {
        return std::nullopt;
    }
    qsizetype i = digits + 1;
    bool binary = false;
    if (rest.size() - i <= 1 || (rest[i] != ' ' && rest[i] != '*')) {
        // "HEX NAME": read as the GNU tools read it, except where it could be SFV's "NAME CRC32" instead (eight
        // digits without an algorithm given). "HEX " names the empty name, which no file has; without an algorithm
        // given such a line, or "HEX  ", is more likely cut short.
        const bool nameless = i >= rest.size() || (i + 1 == rest.size() && isBlank(rest[i]));
        const bool sfvLike = !m_options.algorithm && (digits == 8 || nameless);
        if (m_singleSpaceForm == 0 || sfvLike) {
            return std::nullopt;
        }
        m_singleSpaceForm = 1;
    } else if (m_singleSpaceForm != 1) {
        m_singleSpaceForm = 0;
        binary = rest[i] == '*';
        ++i;
    }
    const QByteArrayView rawName = rest.sliced(i);
    const std::optional<QByteArray> name = nameFrom(rawName, escaped);
    if (!name) {
        return std::nullopt;
    }
    return ChecksumEntry{LineForm::Untagged, *algorithm, *bytesFromHex(rest.first(digits)), *name, binary};
}

std::optional<ChecksumEntry> ChecksumLineParser::parseSfv(QByteArrayView line) const
{
    constexpr qsizetype crcDigits = 8;
    if (line.size() < crcDigits + 2 || line[line.size() - crcDigits - 1] != ' ' || line.contains('\0')) {
        return std::nullopt;
    }
    const std::optional<QByteArray> digest = bytesFromHex(line.last(crcDigits));
    if (!digest) {
        return std::nullopt;
    }
    return ChecksumEntry{LineForm::Sfv, HashAlgorithm::Crc32, *digest,
                         line.first(line.size() - crcDigits - 1).toByteArray(), false};
}
