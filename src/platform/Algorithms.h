#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <optional>
#include <QString>
#include <string_view>

// Every digest algorithm the programs know. The values index per-algorithm arrays; the order of the table below
// (kAlgorithms) is the order in which lists and help texts show them.
enum class HashAlgorithm
{
    Crc32,
    Md5,
    Sha1,
    Sha256,
    Sha224,
    Sha384,
    Sha512,
    Sha3_256,
    Sha3_512,
    Blake2b,
};

inline constexpr std::size_t kAlgorithmCount = 10;

constexpr std::size_t indexOf(HashAlgorithm algorithm)
{
    return static_cast<std::size_t>(algorithm);
}

// One algorithm, named once: what options and prefixes call it, the tag of its checksum lines, the name people read,
// the length of its digest, and its cost per byte relative to MD5's for planning before anything is measured.
struct AlgorithmInfo
{
    HashAlgorithm algorithm;
    std::string_view name;        // "sha3-256": -a, "sha256:" prefixes, SRI values
    std::string_view tag;         // "SHA3-256": tagged lines, "TAG (NAME) = HEX"
    std::string_view displayName; // "SHA3-256", "CRC-32": windows and messages
    std::size_t digestBytes;
    double relativeCost;
};

inline constexpr std::array<AlgorithmInfo, kAlgorithmCount> kAlgorithms{{
    {HashAlgorithm::Crc32, "crc32", "CRC32", "CRC-32", 4, 0.1},
    {HashAlgorithm::Md5, "md5", "MD5", "MD5", 16, 1.0},
    {HashAlgorithm::Sha1, "sha1", "SHA1", "SHA-1", 20, 0.5},
    {HashAlgorithm::Sha224, "sha224", "SHA224", "SHA-224", 28, 0.5},
    {HashAlgorithm::Sha256, "sha256", "SHA256", "SHA-256", 32, 0.5},
    {HashAlgorithm::Sha384, "sha384", "SHA384", "SHA-384", 48, 1.2},
    {HashAlgorithm::Sha512, "sha512", "SHA512", "SHA-512", 64, 1.2},
    {HashAlgorithm::Sha3_256, "sha3-256", "SHA3-256", "SHA3-256", 32, 2.5},
    {HashAlgorithm::Sha3_512, "sha3-512", "SHA3-512", "SHA3-512", 64, 4.5},
    {HashAlgorithm::Blake2b, "blake2b", "BLAKE2b", "BLAKE2b", 64, 1.0},
}};

const AlgorithmInfo& algorithmInfo(HashAlgorithm algorithm);

// Case-insensitive, as users type them: "SHA256", "sha3-512".
std::optional<HashAlgorithm> algorithmFromName(std::string_view name);
// Exact, as checksum lines spell them: "SHA256", "BLAKE2b".
std::optional<HashAlgorithm> algorithmFromTag(std::string_view tag);

QString algorithmName(HashAlgorithm algorithm); // the display name

// A set of algorithms; iterating it goes in the table's order.
class AlgorithmSet
{
public:
    constexpr AlgorithmSet() = default;
    AlgorithmSet(std::initializer_list<HashAlgorithm> algorithms)
    {
        for (HashAlgorithm algorithm : algorithms) {
            insert(algorithm);
        }
    }

    void insert(HashAlgorithm algorithm) { m_bits.set(indexOf(algorithm)); }
    void insert(const AlgorithmSet& other) { m_bits |= other.m_bits; }
    bool contains(HashAlgorithm algorithm) const { return m_bits.test(indexOf(algorithm)); }
    bool empty() const { return m_bits.none(); }
    std::size_t size() const { return m_bits.count(); }

    template <typename Visit> void forEach(Visit visit) const
    {
        for (const AlgorithmInfo& info : kAlgorithms) {
            if (contains(info.algorithm)) {
                visit(info.algorithm);
            }
        }
    }

    friend bool operator==(const AlgorithmSet&, const AlgorithmSet&) = default;

private:
    std::bitset<kAlgorithmCount> m_bits;
};
