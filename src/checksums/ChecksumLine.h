#pragma once

#include "Algorithms.h"

#include <optional>
#include <QByteArray>
#include <QByteArrayView>

// The three forms of a checksum line:
//   tagged     TAG (NAME) = HEX         (also "TAG(NAME)= HEX", a row's other tag: BLAKE2b-512, and a family's
//                                         lengths: BLAKE2b-256, BLAKE3-512)
//   untagged   HEX  NAME, HEX *NAME     (and HEX NAME, as the GNU tools read it, but for eight digits without an
//                                         algorithm given, which may be SFV); XXH3_HEX  NAME for XXH3
//   SFV        NAME CRC32HEX            (";" starts a comment)
// A tagged or untagged line that starts with a backslash holds an escaped name (see NameEscape.h).
enum class LineForm
{
    Tagged,
    Untagged,
    Sfv,
};

struct ChecksumEntry
{
    LineForm form = LineForm::Untagged;
    HashAlgorithm algorithm = HashAlgorithm::Sha256;
    QByteArray expected; // the digest's bytes
    QByteArray name;     // the name's bytes, unescaped, never decoded
    bool binaryMarker = false;

    friend bool operator==(const ChecksumEntry&, const ChecksumEntry&) = default;
};

enum class LineKind
{
    Entry,
    Skipped,   // empty, or a comment
    Malformed, // improperly formatted
};

struct ParsedLine
{
    LineKind kind = LineKind::Malformed;
    ChecksumEntry entry; // for Entry only
    // The algorithm a line's tag named, even when the rest of the line is improperly formatted: the GNU tools name
    // it in their warning about that line.
    std::optional<HashAlgorithm> tag;
    // Malformed only: the digits of a "HEX  NAME" line whose length no algorithm here has (a BLAKE2b of 96 bits,
    // say), read without a given algorithm; 0 for any other line. Such a line is unsupported rather than wrong.
    qsizetype unsupportedDigits = 0;
};

struct ParserOptions
{
    // The one algorithm every line must be of (-a); without it a tag, or the hex's length, says.
    std::optional<HashAlgorithm> algorithm;
    // The list comes from standard input, so an entry naming "-" cannot be read and is improperly formatted.
    bool listIsStandardInput = false;
    // The algorithm the list's file name gives ("B2SUMS"): a hint for untagged lines, never a rule as algorithm is.
    std::optional<HashAlgorithm> named;
};

// Reads the lines of one list. Keeps the one piece of state the GNU tools keep across lines: once a list has used
// the two-space form, a single-space line is refused, so a renamed file with a leading space cannot pass as another.
class ChecksumLineParser
{
public:
    explicit ChecksumLineParser(ParserOptions options = {}) : m_options(options) {}

    // One line without its line feed; a carriage return before it is dropped here.
    ParsedLine parse(QByteArrayView line);

private:
    std::optional<ChecksumEntry> parseTagged(QByteArrayView rest, bool escaped) const;
    std::optional<ChecksumEntry> parseUntagged(QByteArrayView rest, bool escaped);
    std::optional<HashAlgorithm> untaggedAlgorithm(qsizetype digits) const;
    std::optional<ChecksumEntry> parseSfv(QByteArrayView line) const;
    bool sfvAllowed() const;

    ParserOptions m_options;
    int m_singleSpaceForm = -1; // -1: not yet seen either form; 0: two-space seen; 1: single-space seen
};

// Line terminators and escaping: with zeroTerminated, names go raw and each line ends in NUL, as -z asks.
QByteArray taggedLine(HashAlgorithm algorithm, QByteArrayView digest, QByteArrayView name, bool zeroTerminated = false);
QByteArray untaggedLine(QByteArrayView digest, QByteArrayView name, bool zeroTerminated = false);
// The same lines added to the end of out, which keeps its room from line to line.
void appendTaggedLine(QByteArray& out, HashAlgorithm algorithm, QByteArrayView digest, QByteArrayView name,
                      bool zeroTerminated = false);
void appendUntaggedLine(QByteArray& out, QByteArrayView digest, QByteArrayView name, bool zeroTerminated = false);
// XXH3's untagged line says it is XXH3: "XXH3_HEX  NAME".
void appendUntaggedLine(QByteArray& out, HashAlgorithm algorithm, QByteArrayView digest, QByteArrayView name,
                        bool zeroTerminated = false);
QByteArray sfvLine(QByteArrayView crc32Digest, QByteArrayView name);
