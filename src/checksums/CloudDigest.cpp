#include "CloudDigest.h"

#include "HexDigest.h"

#include <array>
#include <string>

namespace {

bool isBase64Character(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/' ||
           c == '=';
}

QByteArrayView unquoted(QByteArrayView text)
{
    text = text.trimmed();
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        text = text.sliced(1, text.size() - 2).trimmed();
    }
    return text;
}

std::optional<HashAlgorithm> named(QByteArrayView name)
{
    return algorithmFromName(std::string_view(name.data(), static_cast<std::size_t>(name.size())));
}

// The algorithm a label names: "Hash (crc32c)" (gsutil), "md5_hash" (gcloud storage hash),
// "x-amz-checksum-sha256" (S3's headers), "ChecksumSHA256" (the AWS command line's JSON), "Content-MD5" and
// "md5Hash" (the object's metadata), or a name of the table alone ("crc32c").
std::optional<HashAlgorithm> labelled(QByteArrayView label)
{
    const QByteArray lower = label.toByteArray().toLower();
    if (lower == "content-md5" || lower == "contentmd5" || lower == "md5hash") {
        return HashAlgorithm::Md5;
    }
    if (lower.startsWith("hash (") && lower.endsWith(')')) {
        return named(QByteArrayView(lower).sliced(6).chopped(1));
    }
    if (lower.endsWith("_hash")) {
        return named(QByteArrayView(lower).chopped(5));
    }
    static constexpr std::array<QByteArrayView, 2> kPrefixes{"x-amz-checksum-", "checksum"};
    for (const QByteArrayView prefix : kPrefixes) {
        if (lower.startsWith(prefix)) {
            return named(QByteArrayView(lower).sliced(prefix.size()));
        }
    }
    return named(lower);
}

// 4 bytes may be either CRC: S3 publishes CRC-32 and CRC-32C alike, Google Cloud Storage CRC-32C.
AlgorithmSet bareCandidates(qsizetype bytes)
{
    switch (bytes) {
    case 4:
        return {HashAlgorithm::Crc32c, HashAlgorithm::Crc32};
    case 16: // XXH128 has the length too, but is never published as base64
        return {HashAlgorithm::Md5};
    case 20:
        return {HashAlgorithm::Sha1};
    case 32:
        return {HashAlgorithm::Sha256};
    default:
        return {};
    }
}

bool fits(HashAlgorithm algorithm, const QByteArray& digest)
{
    return static_cast<std::size_t>(digest.size()) == algorithmInfo(algorithm).digestBytes;
}

std::optional<PastedDigest> labelledLine(QByteArrayView text)
{
    const qsizetype colon = text.indexOf(':');
    const std::optional<HashAlgorithm> algorithm = colon > 0 ? labelled(unquoted(text.first(colon))) : std::nullopt;
    if (!algorithm) {
        return std::nullopt;
    }
    QByteArrayView value = text.sliced(colon + 1).trimmed();
    if (value.endsWith(',')) { // a line of JSON
        value.chop(1);
    }
    value = unquoted(value);
    if (const std::optional<QByteArray> digest = strictBase64(value); digest && fits(*algorithm, *digest)) {
        return PastedDigest{*digest, AlgorithmSet{*algorithm}, {}, PastedForm::Base64};
    }
    // gsutil hash -h and gcloud storage hash --hex show the same lines in hex.
    if (const std::optional<QByteArray> digest = bytesFromHex(value); digest && fits(*algorithm, *digest)) {
        return PastedDigest{*digest, AlgorithmSet{*algorithm}, {}, PastedForm::Hex};
    }
    return std::nullopt;
}

} // namespace

std::optional<QByteArray> strictBase64(QByteArrayView text)
{
    if (text.isEmpty() || text.size() % 4 != 0) {
        return std::nullopt;
    }
    for (const char c : text) {
        if (!isBase64Character(c)) {
            return std::nullopt;
        }
    }
    const auto decoded = QByteArray::fromBase64Encoding(text.toByteArray(), QByteArray::AbortOnBase64DecodingErrors);
    // Encoding again gives the text back only where padding and the last character's spare bits are as written.
    if (!decoded || decoded.decoded.toBase64() != text) {
        return std::nullopt;
    }
    return *decoded;
}

std::optional<PastedDigest> recognizeCloudDigest(QByteArrayView text)
{
    if (text.contains(':')) {
        return labelledLine(text);
    }
    const std::optional<QByteArray> digest = strictBase64(text);
    if (!digest) {
        return std::nullopt;
    }
    const AlgorithmSet candidates = bareCandidates(digest->size());
    if (candidates.empty()) {
        return std::nullopt;
    }
    return PastedDigest{*digest, candidates, {}, PastedForm::Base64};
}
