#pragma once

#include <algorithm>
#include <array>
#include <bitset>
#include <cstddef>
#include <optional>
#include <QString>
#include <string_view>

// Every digest algorithm the programs know. The values index per-algorithm arrays, so they run from 0 without gaps;
// the order of the table below (kAlgorithms) is the order in which lists and help texts show them.
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
    Blake3,
    Xxh128,
    Xxh3,
    Xxh64,
    Xxh32,
    Crc32c,
};

constexpr std::size_t indexOf(HashAlgorithm algorithm)
{
    return static_cast<std::size_t>(algorithm);
}

// Which library computes an algorithm: Hasher::create picks the adapter by it.
enum class DigestLibrary
{
    OpenSsl, // fetched by the row's libraryName
    IsaL,    // the CRC-32 of zip and PNG, and CRC-32C
    XxHash,  // XXH32, XXH64, XXH3, XXH128
    Blake3,  // the reference C implementation
    Blake2,  // BLAKE2b at the lengths other than 512 bits
};

// One algorithm, named once: everything else (help texts, checksum lines, the files looked for beside a data file,
// the hashers) is made from its row.
struct AlgorithmInfo
{
    HashAlgorithm algorithm;
    std::string_view name;        // "sha3-256": -a, "sha256:" prefixes, SRI values
    std::string_view tag;         // "SHA3-256": tagged lines, "TAG (NAME) = HEX", as written
    std::string_view otherTag;    // also read in tagged lines: "BLAKE2b-512", the family's name with our length
    std::string_view displayName; // "SHA3-256", "CRC-32": windows and messages
    std::size_t digestBytes;
    // Cost per byte relative to MD5's, for planning before anything is measured.
    double relativeCost;
    DigestLibrary library;
    std::string_view libraryName; // the library's own name for it, where it fetches by name
    // How common lists of it are, 1 the most: the files beside a data file are searched in this order, and a bare
    // digest whose length others share is taken for the most common of them (64 digits: SHA-256, not SHA3-256).
    int commonness;
    // Checksum files are recognised whatever the case of their names: "x.SHA256" and "sha256sums" too.
    std::string_view suffix;   // ".sha256": NAME.sha256 beside NAME holds its digest; empty for none
    std::string_view listName; // "SHA256SUMS": a folder's list of it (also "sha256sum.txt"); empty for none
    bool integrityValue;       // pasted as a Subresource Integrity value, "sha384-BASE64"
};

// clang-format off
// One row per algorithm: rank is commonness below, suffix and list the checksum files named for it.
inline constexpr auto kAlgorithms = std::to_array<AlgorithmInfo>({
    // algorithm              name        tag         other tag      display    bytes  cost library                 its name      rank  suffix     list          SRI
    {HashAlgorithm::Crc32,    "crc32",    "CRC32",    "",            "CRC-32",      4, 0.1, DigestLibrary::IsaL,    "",              5, ".sfv",    "",           false},
    {HashAlgorithm::Crc32c,   "crc32c",   "CRC32C",   "",            "CRC-32C",     4, 0.05, DigestLibrary::IsaL,   "",             15, "",        "",           false},
    {HashAlgorithm::Md5,      "md5",      "MD5",      "",            "MD5",        16, 1.0, DigestLibrary::OpenSsl, "MD5",           4, ".md5",    "MD5SUMS",    false},
    {HashAlgorithm::Sha1,     "sha1",     "SHA1",     "",            "SHA-1",      20, 0.5, DigestLibrary::OpenSsl, "SHA1",          3, ".sha1",   "SHA1SUMS",   false},
    {HashAlgorithm::Sha224,   "sha224",   "SHA224",   "",            "SHA-224",    28, 0.5, DigestLibrary::OpenSsl, "SHA224",        7, "",        "SHA224SUMS", false},
    {HashAlgorithm::Sha256,   "sha256",   "SHA256",   "",            "SHA-256",    32, 0.5, DigestLibrary::OpenSsl, "SHA256",        1, ".sha256", "SHA256SUMS", true},
    {HashAlgorithm::Sha384,   "sha384",   "SHA384",   "",            "SHA-384",    48, 1.2, DigestLibrary::OpenSsl, "SHA384",        8, "",        "SHA384SUMS", true},
    {HashAlgorithm::Sha512,   "sha512",   "SHA512",   "",            "SHA-512",    64, 1.2, DigestLibrary::OpenSsl, "SHA512",        2, ".sha512", "SHA512SUMS", true},
    {HashAlgorithm::Sha3_256, "sha3-256", "SHA3-256", "",            "SHA3-256",   32, 2.5, DigestLibrary::OpenSsl, "SHA3-256",      9, "",        "",           false},
    {HashAlgorithm::Sha3_512, "sha3-512", "SHA3-512", "",            "SHA3-512",   64, 4.5, DigestLibrary::OpenSsl, "SHA3-512",     10, "",        "",           false},
    {HashAlgorithm::Blake2b,  "blake2b",  "BLAKE2b",  "BLAKE2b-512", "BLAKE2b",    64, 1.0, DigestLibrary::OpenSsl, "BLAKE2B-512",   6, ".b2",     "B2SUMS",     false},
    {HashAlgorithm::Blake3,   "blake3",   "BLAKE3",   "",            "BLAKE3",     32, 0.3, DigestLibrary::Blake3,  "",             11, ".b3",     "B3SUMS",     false},
    {HashAlgorithm::Xxh128,   "xxh128",   "XXH128",   "",            "XXH128",     16, 0.05, DigestLibrary::XxHash, "",             12, ".xxh128", "XXH128SUMS", false},
    {HashAlgorithm::Xxh3,     "xxh3",     "XXH3",     "",            "XXH3",        8, 0.05, DigestLibrary::XxHash, "",             14, ".xxh3",   "",           false},
    {HashAlgorithm::Xxh64,    "xxh64",    "XXH64",    "",            "XXH64",       8, 0.08, DigestLibrary::XxHash, "",             13, ".xxh64",  "",           false},
    {HashAlgorithm::Xxh32,    "xxh32",    "XXH32",    "",            "XXH32",       4, 0.15, DigestLibrary::XxHash, "",             16, "",        "",           false},
});
// clang-format on

inline constexpr std::size_t kNamedAlgorithmCount = kAlgorithms.size();

// BLAKE2b and BLAKE3 at other lengths than their rows' are keys of their own after the named ones, one for each
// whole number of bytes up to 64: BLAKE2b's length is in its parameter block, so each is its own computation, and
// with keys of their own the engine, its slots and its results need nothing more. Their rows are made from the
// family's (algorithmInfo); lists, help texts and file names go by the named rows alone.
inline constexpr std::size_t kLengthKeysPerFamily = 64;
inline constexpr std::array kFamiliesWithLengths = {HashAlgorithm::Blake2b, HashAlgorithm::Blake3};
// Every key, named or not: the size of arrays indexed by them.
inline constexpr std::size_t kAlgorithmCount =
    kNamedAlgorithmCount + kFamiliesWithLengths.size() * kLengthKeysPerFamily;

// Each enumerator has exactly one row, and the values leave no gap: arrays indexed by them have a slot for each.
static_assert([] {
    std::array<int, kNamedAlgorithmCount> rows{};
    for (const AlgorithmInfo& info : kAlgorithms) {
        if (indexOf(info.algorithm) >= kNamedAlgorithmCount || rows[indexOf(info.algorithm)]++ != 0) {
            return false;
        }
    }
    return true;
}());

// Ranks are distinct, so that the search order and the pick among equal lengths never tie.
static_assert([] {
    for (const AlgorithmInfo& a : kAlgorithms) {
        for (const AlgorithmInfo& b : kAlgorithms) {
            if (a.algorithm != b.algorithm && a.commonness == b.commonness) {
                return false;
            }
        }
    }
    return true;
}());

// The rows from the most common to the least.
inline constexpr auto kAlgorithmsByCommonness = [] {
    auto rows = kAlgorithms;
    std::sort(rows.begin(), rows.end(),
              [](const AlgorithmInfo& a, const AlgorithmInfo& b) { return a.commonness < b.commonness; });
    return rows;
}();

// A derived key's row is made once, with the family's cost and library, "BLAKE2b-256" as its tag and display name.
const AlgorithmInfo& algorithmInfo(HashAlgorithm algorithm);

// The family's key at bytes of digest: the named one at its own length, a derived one at another (1 to 64 bytes);
// nothing for a family without lengths or a length out of range.
std::optional<HashAlgorithm> algorithmOfLength(HashAlgorithm family, std::size_t bytes);
// The named algorithm a key belongs to: itself for a named one, BLAKE2b for BLAKE2b-256.
HashAlgorithm familyOf(HashAlgorithm algorithm);
bool hasLengths(HashAlgorithm family);

// Case-insensitive, as users type them: "SHA256", "sha3-512".
std::optional<HashAlgorithm> algorithmFromName(std::string_view name);
// Exact, as checksum lines spell them: "SHA256", "BLAKE2b", "BLAKE2b-512".
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

    // The named ones in the table's order, then the derived ones by key.
    template <typename Visit> void forEach(Visit visit) const
    {
        for (const AlgorithmInfo& info : kAlgorithms) {
            if (contains(info.algorithm)) {
                visit(info.algorithm);
            }
        }
        for (std::size_t i = kNamedAlgorithmCount; i < kAlgorithmCount; ++i) {
            if (m_bits.test(i)) {
                visit(static_cast<HashAlgorithm>(i));
            }
        }
    }

    friend bool operator==(const AlgorithmSet&, const AlgorithmSet&) = default;

private:
    std::bitset<kAlgorithmCount> m_bits;
};
