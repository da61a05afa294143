#include "ChecksumLine.h"

#include "HexDigest.h"
#include "NameEscape.h"

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

qsizetype hexRun(QByteArrayView text)
{
    qsizetype n = 0;
    while (n < text.size() && isHexDigit(text[n])) {
        ++n;
    }
    return n;
}

qsizetype hexLength(HashAlgorithm algorithm)
{
    return static_cast<qsizetype>(algorithmInfo(algorithm).digestBytes * 2);
}

struct TagMatch
{
    HashAlgorithm algorithm;
    qsizetype end; // where the text goes on after the tag
    bool otherTag; // the row's other spelling, which carries the length: "BLAKE2b-512"
};

// The tag at the start of text; the longest wins, for "SHA3-256" and "BLAKE2b-512". A tag ends at a blank, '-', '('
// or the end; a '-' after it is taken for a length other than ours, and the line refused.
std::optional<TagMatch> tagAt(QByteArrayView text)
{
    std::optional<TagMatch> found;
    const auto consider = [&](HashAlgorithm algorithm, std::string_view spelled, bool other) {
        const QByteArrayView tag(spelled.data(), static_cast<qsizetype>(spelled.size()));
        if (tag.isEmpty() || !text.startsWith(tag) || (found && found->end >= tag.size())) {
            return;
        }
        const char after = text.size() > tag.size() ? text[tag.size()] : ' ';
        if (other || isBlank(after) || after == '-' || after == '(') {
            found = TagMatch{algorithm, tag.size(), other};
        }
    };
    for (const AlgorithmInfo& info : kAlgorithms) {
        consider(info.algorithm, info.tag, false);
        consider(info.algorithm, info.otherTag, true);
    }
    return found;
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
    if (line.contains('\0')) {
        return {LineKind::Malformed, {}, {}};
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
    if (!entry && sfvAllowed()) {
        entry = parseSfv(line);
    }
    const std::optional<HashAlgorithm> tagged = tag ? std::optional(tag->algorithm) : std::nullopt;
    if (!entry || (m_options.listIsStandardInput && entry->name == "-")) {
        return {LineKind::Malformed, {}, tagged};
    }
    return {LineKind::Entry, *entry, tagged};
}

std::optional<ChecksumEntry> ChecksumLineParser::parseTagged(QByteArrayView rest, bool escaped) const
{
    const TagMatch tag = *tagAt(rest);
    const HashAlgorithm algorithm = tag.algorithm;
    if (m_options.algorithm && *m_options.algorithm != algorithm) {
        return std::nullopt;
    }
    qsizetype i = tag.end;
    if (!tag.otherTag) {
        if (i < rest.size() && rest[i] == '-') {
            return std::nullopt; // a length we do not compute, such as BLAKE2b-256
        }
        if (i < rest.size() && isBlank(rest[i])) {
            ++i;
        }
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
    const QByteArrayView hex = rest.sliced(at);
    if (hex.size() != hexLength(algorithm)) {
        return std::nullopt;
    }
    const std::optional<QByteArray> digest = bytesFromHex(hex);
    const std::optional<QByteArray> name = escaped ? unescapeName(rawName) : rawName.toByteArray();
    if (!digest || !name) {
        return std::nullopt;
    }
    return ChecksumEntry{LineForm::Tagged, algorithm, *digest, *name, false};
}

std::optional<ChecksumEntry> ChecksumLineParser::parseUntagged(QByteArrayView rest, bool escaped)
{
    const qsizetype digits = hexRun(rest);
    std::optional<HashAlgorithm> algorithm = m_options.algorithm;
    if (!algorithm && digits % 2 == 0) {
        algorithm = preferredAlgorithmForDigestBytes(static_cast<std::size_t>(digits / 2));
    }
    if (!algorithm || digits != hexLength(*algorithm) || rest.size() < digits + 2 || !isBlank(rest[digits])) {
        return std::nullopt;
    }
    qsizetype i = digits + 1;
    bool binary = false;
    if (rest.size() - i == 1 || (rest[i] != ' ' && rest[i] != '*')) {
        // "HEX NAME": read as the GNU tools read it, and only where an algorithm was given, since without one such a
        // line is more likely SFV.
        if (m_singleSpaceForm == 0 || !m_options.algorithm) {
            return std::nullopt;
        }
        m_singleSpaceForm = 1;
    } else if (m_singleSpaceForm != 1) {
        m_singleSpaceForm = 0;
        binary = rest[i] == '*';
        ++i;
    }
    const QByteArrayView rawName = rest.sliced(i);
    const std::optional<QByteArray> name = escaped ? unescapeName(rawName) : rawName.toByteArray();
    if (!name || name->isEmpty()) {
        return std::nullopt;
    }
    return ChecksumEntry{LineForm::Untagged, *algorithm, *bytesFromHex(rest.first(digits)), *name, binary};
}

std::optional<ChecksumEntry> ChecksumLineParser::parseSfv(QByteArrayView line) const
{
    constexpr qsizetype crcDigits = 8;
    if (line.size() < crcDigits + 2 || line[line.size() - crcDigits - 1] != ' ') {
        return std::nullopt;
    }
    const std::optional<QByteArray> digest = bytesFromHex(line.last(crcDigits));
    if (!digest) {
        return std::nullopt;
    }
    return ChecksumEntry{LineForm::Sfv, HashAlgorithm::Crc32, *digest,
                         line.first(line.size() - crcDigits - 1).toByteArray(), false};
}

QByteArray taggedLine(HashAlgorithm algorithm, QByteArrayView digest, QByteArrayView name, bool zeroTerminated)
{
    QByteArray line;
    appendTaggedLine(line, algorithm, digest, name, zeroTerminated);
    return line;
}

QByteArray untaggedLine(QByteArrayView digest, QByteArrayView name, bool zeroTerminated)
{
    QByteArray line;
    appendUntaggedLine(line, digest, name, zeroTerminated);
    return line;
}

void appendTaggedLine(QByteArray& out, HashAlgorithm algorithm, QByteArrayView digest, QByteArrayView name,
                      bool zeroTerminated)
{
    const bool escape = !zeroTerminated && nameNeedsEscape(name);
    const std::string_view tag = algorithmInfo(algorithm).tag;
    if (escape) {
        out += '\\';
    }
    out += QByteArrayView(tag.data(), static_cast<qsizetype>(tag.size()));
    out += " (";
    out += escape ? QByteArrayView(escapeName(name)) : name;
    out += ") = ";
    appendHexDigest(out, digest);
    out += zeroTerminated ? '\0' : '\n';
}

void appendUntaggedLine(QByteArray& out, QByteArrayView digest, QByteArrayView name, bool zeroTerminated)
{
    const bool escape = !zeroTerminated && nameNeedsEscape(name);
    if (escape) {
        out += '\\';
    }
    appendHexDigest(out, digest);
    out += "  ";
    out += escape ? QByteArrayView(escapeName(name)) : name;
    out += zeroTerminated ? '\0' : '\n';
}

QByteArray sfvLine(QByteArrayView crc32Digest, QByteArrayView name)
{
    return name.toByteArray() + ' ' + hexDigest(crc32Digest).toUpper() + '\n';
}
