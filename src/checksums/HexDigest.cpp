#include "HexDigest.h"

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

} // namespace

QByteArray hexDigest(QByteArrayView digest)
{
    QByteArray hex;
    appendHexDigest(hex, digest);
    return hex;
}

void appendHexDigest(QByteArray& out, QByteArrayView digest)
{
    constexpr char kDigits[] = "0123456789abcdef";
    const qsizetype at = out.size();
    out.resize(at + 2 * digest.size());
    char* next = out.data() + at;
    for (const char byte : digest) {
        const auto value = static_cast<unsigned char>(byte);
        *next++ = kDigits[value >> 4];
        *next++ = kDigits[value & 0xfu];
    }
}

std::optional<QByteArray> bytesFromHex(QByteArrayView hex)
{
    if (hex.size() % 2 != 0) {
        return std::nullopt;
    }
    QByteArray out(hex.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < out.size(); ++i) {
        const int high = hexValue(hex[2 * i]);
        const int low = hexValue(hex[2 * i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        out[i] = static_cast<char>(high << 4 | low);
    }
    return out;
}

AlgorithmSet algorithmsForDigestBytes(std::size_t bytes, Blake2bLengths blake2b)
{
    AlgorithmSet set;
    for (const AlgorithmInfo& info : kAlgorithms) {
        if (info.digestBytes == bytes) {
            set.insert(info.algorithm);
        }
    }
    constexpr std::size_t kCommonBlake2b = 32;
    if (bytes == kCommonBlake2b || blake2b == Blake2bLengths::Any) {
        if (const std::optional<HashAlgorithm> cut = algorithmOfLength(HashAlgorithm::Blake2b, bytes)) {
            set.insert(*cut);
        }
    }
    return set;
}

std::optional<HashAlgorithm> preferredAlgorithmForDigestBytes(std::size_t bytes)
{
    for (const AlgorithmInfo& info : kAlgorithmsByCommonness) {
        if (info.digestBytes == bytes) {
            return info.algorithm;
        }
    }
    return std::nullopt;
}
