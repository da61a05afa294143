#include "ChecksumLine.h"
#include "ChecksumListReader.h"
#include "HexDigest.h"
#include "NameEscape.h"
#include "PastedDigest.h"

#include <QBuffer>
#include <QTest>

Q_DECLARE_METATYPE(HashAlgorithm)
Q_DECLARE_METATYPE(LineKind)
Q_DECLARE_METATYPE(LineForm)
Q_DECLARE_METATYPE(std::optional<HashAlgorithm>)
Q_DECLARE_METATYPE(AlgorithmSet)

namespace {

const QByteArray kMd5OfA = QByteArray::fromHex("0cc175b9c0f1b6a831c399e269772661");
const QByteArray kSha1OfA = QByteArray::fromHex("86f7e437faa5a7fce15d1ddcb9eaeaea377667b8");
const QByteArray kSha256Hex = "ca978112ca1bbdcafac231b39a23dc4da786eff8147c4e72b9807785afee48bb";

// A device that hands out a long text a block at a time, as a pipe would, without ever holding it whole.
class RepeatingDevice : public QIODevice
{
public:
    RepeatingDevice(QByteArray head, char filler, qint64 fillerCount, QByteArray tail)
        : m_head(std::move(head)), m_filler(filler), m_fillerCount(fillerCount), m_tail(std::move(tail))
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    qint64 largestRead = 0;

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        largestRead = std::max(largestRead, maxSize);
        const qint64 total = m_head.size() + m_fillerCount + m_tail.size();
        qint64 n = 0;
        for (; n < maxSize && m_at < total; ++n, ++m_at) {
            if (m_at < m_head.size()) {
                data[n] = m_head[m_at];
            } else if (m_at < m_head.size() + m_fillerCount) {
                data[n] = m_filler;
            } else {
                data[n] = m_tail[m_at - m_head.size() - m_fillerCount];
            }
        }
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_head;
    char m_filler;
    qint64 m_fillerCount;
    QByteArray m_tail;
    qint64 m_at = 0;
};

QList<ListLine> readAll(QIODevice& device, ParserOptions options = {}, qsizetype limit = 1024)
{
    ChecksumListReader reader(device, options, limit);
    QList<ListLine> lines;
    while (std::optional<ListLine> line = reader.next()) {
        lines.append(*line);
    }
    return lines;
}

} // namespace

class TestChecksumLines : public QObject
{
    Q_OBJECT

private slots:
    void escapeRoundTrip_data();
    void escapeRoundTrip();
    void badEscapes_data();
    void badEscapes();
    void writtenLines_data();
    void writtenLines();
    void parsedLines_data();
    void parsedLines();
    void otherBlake2bLengths_data();
    void otherBlake2bLengths();
    void unsupportedLengths_data();
    void unsupportedLengths();
    void writtenLinesReadBack_data();
    void writtenLinesReadBack();
    void singleSpaceFormNotMixed();
    void streamedLines();
    void overlongLineNotHeld();
    void lineLimitWhereverTheLineFalls_data();
    void lineLimitWhereverTheLineFalls();
    void readErrorReported();
    void pastedDigests_data();
    void pastedDigests();
    void cloudDigests_data();
    void cloudDigests();
};

void TestChecksumLines::escapeRoundTrip_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("escaped");
    QTest::addColumn<bool>("needed");
    QTest::newRow("plain") << QByteArray("a b.txt") << QByteArray("a b.txt") << false;
    QTest::newRow("backslash") << QByteArray("x\\y") << QByteArray("x\\\\y") << true;
    QTest::newRow("line feed") << QByteArray("n\nl") << QByteArray("n\\nl") << true;
    QTest::newRow("carriage return") << QByteArray("c\rr") << QByteArray("c\\rr") << true;
    QTest::newRow("all three") << QByteArray("a\\b\nc\rd") << QByteArray("a\\\\b\\nc\\rd") << true;
    QTest::newRow("backslash then n") << QByteArray("\\n") << QByteArray("\\\\n") << true;
    QTest::newRow("tab and NUL-free bytes") << QByteArray("\t\xff\x80") << QByteArray("\t\xff\x80") << false;
}

void TestChecksumLines::escapeRoundTrip()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, escaped);
    QFETCH(bool, needed);
    QCOMPARE(nameNeedsEscape(name), needed);
    QCOMPARE(escapeName(name), escaped);
    QCOMPARE(unescapeName(escaped), std::optional<QByteArray>(name));
}

void TestChecksumLines::badEscapes_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("lone trailing backslash") << QByteArray("abc\\");
    QTest::newRow("unknown escape") << QByteArray("a\\qb");
    QTest::newRow("tab escape") << QByteArray("a\\tb");
    QTest::newRow("octal") << QByteArray("\\012");
}

void TestChecksumLines::badEscapes()
{
    QFETCH(QByteArray, text);
    QVERIFY(!unescapeName(text).has_value());
}

// Lines as Debian 12's cksum -a ALG [--untagged] [-z] writes them for the same names.
void TestChecksumLines::writtenLines_data()
{
    QTest::addColumn<bool>("tagged");
    QTest::addColumn<bool>("zero");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("tagged plain") << true << false << QByteArray("plain")
                                  << QByteArray("MD5 (plain) = 0cc175b9c0f1b6a831c399e269772661\n");
    QTest::newRow("tagged backslash") << true << false << QByteArray("x\\y")
                                      << QByteArray("\\MD5 (x\\\\y) = 0cc175b9c0f1b6a831c399e269772661\n");
    QTest::newRow("tagged CR") << true << false << QByteArray("c\rr")
                               << QByteArray("\\MD5 (c\\rr) = 0cc175b9c0f1b6a831c399e269772661\n");
    QTest::newRow("untagged LF") << false << false << QByteArray("n\nl")
                                 << QByteArray("\\0cc175b9c0f1b6a831c399e269772661  n\\nl\n");
    QTest::newRow("tagged zero, raw") << true << true << QByteArray("x\\y\n")
                                      << QByteArray("MD5 (x\\y\n) = 0cc175b9c0f1b6a831c399e269772661\0", 46);
    QTest::newRow("untagged zero, raw") << false << true << QByteArray("c\rr")
                                        << QByteArray("0cc175b9c0f1b6a831c399e269772661  c\rr\0", 38);
}

void TestChecksumLines::writtenLines()
{
    QFETCH(bool, tagged);
    QFETCH(bool, zero);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, expected);
    const QByteArray line =
        tagged ? taggedLine(HashAlgorithm::Md5, kMd5OfA, name, zero) : untaggedLine(kMd5OfA, name, zero);
    QCOMPARE(line, expected);
}

void TestChecksumLines::parsedLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<std::optional<HashAlgorithm>>("forced");
    QTest::addColumn<LineKind>("kind");
    QTest::addColumn<HashAlgorithm>("algorithm");
    QTest::addColumn<LineForm>("form");
    QTest::addColumn<QByteArray>("name");

    const std::optional<HashAlgorithm> any;
    const std::optional<HashAlgorithm> md5 = HashAlgorithm::Md5;
    const std::optional<HashAlgorithm> crc = HashAlgorithm::Crc32;
    const QByteArray md5Hex = kMd5OfA.toHex();
    const auto entry = [&](const char* row, const QByteArray& line, std::optional<HashAlgorithm> forced,
                           HashAlgorithm algorithm, LineForm form, const QByteArray& name) {
        QTest::newRow(row) << line << forced << LineKind::Entry << algorithm << form << name;
    };
    const auto other = [&](const char* row, const QByteArray& line, std::optional<HashAlgorithm> forced,
                           LineKind kind) {
        QTest::newRow(row) << line << forced << kind << HashAlgorithm::Md5 << LineForm::Untagged << QByteArray();
    };

    entry("two-space", md5Hex + "   a b ", any, HashAlgorithm::Md5, LineForm::Untagged, " a b ");
    entry("binary marker", md5Hex + " *f", md5, HashAlgorithm::Md5, LineForm::Untagged, "f");
    entry("upper-case hex", md5Hex.toUpper() + "  f", any, HashAlgorithm::Md5, LineForm::Untagged, "f");
    entry("escaped untagged", "\\" + md5Hex + "  n\\nl\\\\", any, HashAlgorithm::Md5, LineForm::Untagged, "n\nl\\");
    entry("64 digits: SHA-256", kSha256Hex + "  f", any, HashAlgorithm::Sha256, LineForm::Untagged, "f");
    entry("64 digits, -a sha3-256", kSha256Hex + "  f", HashAlgorithm::Sha3_256, HashAlgorithm::Sha3_256,
          LineForm::Untagged, "f");
    entry("single space with -a", md5Hex + " f", md5, HashAlgorithm::Md5, LineForm::Untagged, "f");
    entry("tagged", "SHA1 (a (1).txt) = " + kSha1OfA.toHex(), any, HashAlgorithm::Sha1, LineForm::Tagged, "a (1).txt");
    entry("tagged, no spaces", "MD5(f)=" + md5Hex, any, HashAlgorithm::Md5, LineForm::Tagged, "f");
    entry("tagged, leading blanks", " \tMD5 (f) = " + md5Hex, md5, HashAlgorithm::Md5, LineForm::Tagged, "f");
    entry("tagged escaped", "\\MD5 (x\\\\y\\r) = " + md5Hex, any, HashAlgorithm::Md5, LineForm::Tagged, "x\\y\r");
    entry("tagged, name with ') = '", "MD5 (a) = b) = " + md5Hex, any, HashAlgorithm::Md5, LineForm::Tagged, "a) = b");
    entry("tagged CRC32", "CRC32 (f) = e8b7be43", any, HashAlgorithm::Crc32, LineForm::Tagged, "f");
    entry("BLAKE2b-512", "BLAKE2b-512 (f) = " + QByteArray(128, 'a'), any, HashAlgorithm::Blake2b, LineForm::Tagged,
          "f");
    // The other tag carries the length: one space at most before the name, as the tools that write it put it.
    entry("BLAKE2b, no length", "BLAKE2b (f) = " + QByteArray(128, 'a'), any, HashAlgorithm::Blake2b, LineForm::Tagged,
          "f");
    entry("BLAKE2b-512, no spaces", "BLAKE2b-512(f)=" + QByteArray(128, 'a'), any, HashAlgorithm::Blake2b,
          LineForm::Tagged, "f");
    other("BLAKE2b-512, two spaces", "BLAKE2b-512  (f) = " + QByteArray(128, 'a'), any, LineKind::Malformed);
    other("BLAKE2b-512, tab", "BLAKE2b-512\t(f) = " + QByteArray(128, 'a'), any, LineKind::Malformed);
    other("BLAKE2b-5120", "BLAKE2b-5120 (f) = " + QByteArray(128, 'a'), any, LineKind::Malformed);
    other("BLAKE2b-512-512", "BLAKE2b-512-512 (f) = " + QByteArray(128, 'a'), any, LineKind::Malformed);
    entry("SHA256-256", "SHA256-256 (f) = " + kSha256Hex, any, HashAlgorithm::Sha256, LineForm::Tagged, "f");
    other("BLAKE2b-512 with -a sha512", "BLAKE2b-512 (f) = " + QByteArray(128, 'a'), HashAlgorithm::Sha512,
          LineKind::Malformed);
    entry("SHA3-512", "SHA3-512 (f) = " + QByteArray(128, '0'), any, HashAlgorithm::Sha3_512, LineForm::Tagged, "f");
    entry("CR LF ending", "MD5 (f) = " + md5Hex + "\r", any, HashAlgorithm::Md5, LineForm::Tagged, "f");
    entry("SFV", "sp ace E8B7BE43", any, HashAlgorithm::Crc32, LineForm::Sfv, "sp ace");
    entry("SFV with -a crc32", "f e8b7be43", crc, HashAlgorithm::Crc32, LineForm::Sfv, "f");
    entry("eight digits, two spaces", "e8b7be43  f", any, HashAlgorithm::Crc32, LineForm::Untagged, "f");
    entry("dash", md5Hex + "  -", any, HashAlgorithm::Md5, LineForm::Untagged, "-");

    other("empty", "", any, LineKind::Skipped);
    other("CR alone", "\r", any, LineKind::Skipped);
    other("hash comment", "# MD5 (f) = x", md5, LineKind::Skipped);
    other("SFV comment", "; made today", any, LineKind::Skipped);
    other("semicolon with -a md5", "; made today", md5, LineKind::Malformed);
    other("SFV with -a md5", "f e8b7be43", md5, LineKind::Malformed);
    other("blanks only", "   ", any, LineKind::Malformed);
    // A NUL ends a name or a digest, as where the lines are read as C strings; an escaped name may not hold one.
    entry("NUL in name", md5Hex + QByteArray("  a\0b", 5), any, HashAlgorithm::Md5, LineForm::Untagged, "a");
    entry("NUL starts the name", md5Hex + QByteArray("  \0a", 4), md5, HashAlgorithm::Md5, LineForm::Untagged, "");
    entry("tagged, NUL in name", "MD5 (a" + QByteArray("\0", 1) + "b) = " + md5Hex, any, HashAlgorithm::Md5,
          LineForm::Tagged, "a");
    entry("tagged, NUL after the digest", "MD5 (f) = " + md5Hex + QByteArray("\0x", 2), any, HashAlgorithm::Md5,
          LineForm::Tagged, "f");
    other("tagged, NUL in the digest", "MD5 (f) = " + md5Hex.left(10) + QByteArray("\0", 1) + md5Hex.mid(11), any,
          LineKind::Malformed);
    other("escaped, NUL in name", "\\MD5 (a" + QByteArray("\0", 1) + "b) = " + md5Hex, any, LineKind::Malformed);
    other("NUL in tag", "MD" + QByteArray("\0", 1) + "5 (f) = " + md5Hex, any, LineKind::Malformed);
    other("NUL in hex", md5Hex.left(10) + QByteArray("\0", 1) + md5Hex.mid(11) + "  f", md5, LineKind::Malformed);
    other("SFV with a NUL", "a" + QByteArray("\0", 1) + "b e8b7be43", any, LineKind::Malformed);
    other("odd hex", md5Hex.chopped(1) + "  f", md5, LineKind::Malformed);
    other("invalid hex", md5Hex.chopped(1) + "g  f", any, LineKind::Malformed);
    other("wrong length for -a", kSha256Hex + "  f", md5, LineKind::Malformed);
    other("no length fits", QByteArray(30, 'a') + "  f", any, LineKind::Malformed);
    other("unknown tag", "MD4 (f) = " + md5Hex, any, LineKind::Malformed);
    other("lower-case tag", "md5 (f) = " + md5Hex, any, LineKind::Malformed);
    other("tag of another -a", "SHA1 (f) = " + kSha1OfA.toHex(), md5, LineKind::Malformed);
    other("wrong length for tag", "SHA1 (f) = " + md5Hex, any, LineKind::Malformed);
    other("BLAKE2b-256, 63 digits", "BLAKE2b-256 (f) = " + QByteArray(63, 'a'), any, LineKind::Malformed);
    other("tagged, trailing blank", "MD5 (f) = " + md5Hex + " ", any, LineKind::Malformed);
    other("tagged, no '='", "MD5 (f) " + md5Hex, any, LineKind::Malformed);
    other("tagged, no ')'", "MD5 (f = " + md5Hex, any, LineKind::Malformed);
    other("bad escape", "\\MD5 (a\\tb) = " + md5Hex, any, LineKind::Malformed);
    // Without -a a single space is read as the GNU tools read it, but at eight digits, where SFV's "NAME CRC32" is
    // meant as often.
    entry("single space without -a", md5Hex + " f", any, HashAlgorithm::Md5, LineForm::Untagged, "f");
    entry("tab without -a", kSha256Hex + "\tf g", any, HashAlgorithm::Sha256, LineForm::Untagged, "f g");
    other("single space without -a, eight digits", "e8b7be43 f", any, LineKind::Malformed);
    entry("single space with -a crc32, eight digits", "e8b7be43 f", crc, HashAlgorithm::Crc32, LineForm::Untagged, "f");
    entry("single space, name ending in a CRC", md5Hex + " x e8b7be43", any, HashAlgorithm::Md5, LineForm::Untagged,
          "x e8b7be43");
    // A tagged line cut short is wrong, never SFV's line for a file named "XXH64 (s1) =".
    other("tagged XXH64, half its digest", "XXH64 (s1) = 092f7eb0", any, LineKind::Malformed);
    other("tagged SHA256, CRC-long digest", "SHA256 (f) = e8b7be43", crc, LineKind::Malformed);
    other("tagged BLAKE2b-256, CRC-long digest", "BLAKE2b-256 (f) =\te8b7be43", any, LineKind::Malformed);
    entry("SFV, name starting with a tag", "MD5 notes.txt e8b7be43", any, HashAlgorithm::Crc32, LineForm::Sfv,
          "MD5 notes.txt");
    entry("SFV, name of a tagged line's shape", "MD5 (x) = y e8b7be43", any, HashAlgorithm::Crc32, LineForm::Sfv,
          "MD5 (x) = y");
    // XXH3's untagged form names it; XXH64's, of the same length, is the bare digest.
    const QByteArray xxh3Hex = "99fc819aaba2462a";
    const std::optional<HashAlgorithm> xxh3 = HashAlgorithm::Xxh3;
    entry("XXH3_ without -a", "XXH3_" + xxh3Hex + "  f", any, HashAlgorithm::Xxh3, LineForm::Untagged, "f");
    entry("XXH3_ with -a xxh3", "XXH3_" + xxh3Hex + "  f", xxh3, HashAlgorithm::Xxh3, LineForm::Untagged, "f");
    entry("XXH3_, escaped", "\\XXH3_" + xxh3Hex + "  n\\nl", any, HashAlgorithm::Xxh3, LineForm::Untagged, "n\nl");
    entry("bare 16 digits without -a: XXH64", xxh3Hex + "  f", any, HashAlgorithm::Xxh64, LineForm::Untagged, "f");
    other("XXH3_ with -a xxh64", "XXH3_" + xxh3Hex + "  f", HashAlgorithm::Xxh64, LineKind::Malformed);
    other("XXH3_, 8 digits", "XXH3_e8b7be43  f", any, LineKind::Malformed);
    other("XXH3_, 32 digits", "XXH3_" + md5Hex + "  f", any, LineKind::Malformed);
    other("xxh3_ in lower case", "xxh3_" + xxh3Hex + "  f", any, LineKind::Malformed);
    other("digest only", md5Hex, any, LineKind::Malformed);
    // One blank and nothing after: the empty name, which no file has, as the GNU tools read it.
    entry("digest and one blank", md5Hex + " ", md5, HashAlgorithm::Md5, LineForm::Untagged, "");
    entry("digest and a tab", md5Hex + "\t", md5, HashAlgorithm::Md5, LineForm::Untagged, "");
    entry("digest, blank, NUL", md5Hex + QByteArray(" \0", 2), md5, HashAlgorithm::Md5, LineForm::Untagged, "");
    other("digest and one blank without -a", md5Hex + " ", any, LineKind::Malformed);

    // A length after the tag is read as a C number of any base and must be the algorithm's own, for every one.
    for (const AlgorithmInfo& info : kAlgorithms) {
        const QByteArray tag(info.tag.data(), static_cast<qsizetype>(info.tag.size()));
        const quint64 bits = info.digestBytes * 8;
        // A tab before the digest: a line refused here must not be taken for SFV, "NAME CRC32", instead.
        const QByteArray rest = " (f) =\t" + QByteArray(static_cast<qsizetype>(info.digestBytes * 2), 'a');
        const QByteArray decimal = QByteArray::number(bits);
        const std::pair<QByteArray, bool> lengths[] = {
            {decimal, true},
            {"+" + decimal, true},
            {" \t" + decimal, true},
            {"0x" + QByteArray::number(bits, 16), true},
            {"0X0" + QByteArray::number(bits, 16).toUpper(), true},
            {"0" + QByteArray::number(bits, 8), true},
            {"0" + decimal, false},
            {decimal + "0", false},
            {"-" + decimal, false},
            {"+-" + decimal, false},
            {"+ " + decimal, false},
            {decimal + "x", false},
            {decimal + ".0", false},
            {"", false},
            {"0x", false},
            {QByteArray::number(bits * 2), false},
            {"18446744073709" + QByteArray::number(551616 + bits), false}, // 2^64 + bits: must not wrap round
            {"99999999999999999999999", false},
        };
        for (const auto& [length, good] : lengths) {
            const QByteArray line = tag + "-" + length + rest;
            if (good) {
                entry(line.constData(), line, any, info.algorithm, LineForm::Tagged, "f");
            } else {
                other(line.constData(), line, any, LineKind::Malformed);
            }
        }
        const QByteArray tight = tag + "-" + decimal + "(f)=" + rest.mid(7);
        entry(tight.constData(), tight, info.algorithm, info.algorithm, LineForm::Tagged, "f");
        for (const char* blanks : {"  ", "\t", " \t"}) {
            const QByteArray loose = tag + "-" + decimal + blanks + rest.mid(1);
            other(loose.constData(), loose, any, LineKind::Malformed);
        }
    }
    entry("SFV, backslash", "\\f e8b7be43", any, HashAlgorithm::Crc32, LineForm::Sfv, "\\f");
    other("SFV, short CRC", "f e8b7be4", any, LineKind::Malformed);
}

void TestChecksumLines::parsedLines()
{
    QFETCH(QByteArray, line);
    QFETCH(std::optional<HashAlgorithm>, forced);
    QFETCH(LineKind, kind);
    ChecksumLineParser parser({forced, false, {}});
    const ParsedLine parsed = parser.parse(line);
    QCOMPARE(parsed.kind, kind);
    if (kind == LineKind::Entry) {
        QFETCH(HashAlgorithm, algorithm);
        QFETCH(LineForm, form);
        QFETCH(QByteArray, name);
        QCOMPARE(parsed.entry.algorithm, algorithm);
        QCOMPARE(parsed.entry.form, form);
        QCOMPARE(parsed.entry.name, name);
        QCOMPARE(static_cast<std::size_t>(parsed.entry.expected.size()), algorithmInfo(algorithm).digestBytes);
    }
}

// BLAKE2b at another length (its tool's -l) is read at that length, tagged, or untagged where BLAKE2b is given or
// named; never as another algorithm of the same length, and told apart from a line that is wrong. BLAKE3's tag takes
// a length too. algorithm is the entry's, for an entry.
void TestChecksumLines::otherBlake2bLengths_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<std::optional<HashAlgorithm>>("given");
    QTest::addColumn<std::optional<HashAlgorithm>>("named");
    QTest::addColumn<LineKind>("kind");
    QTest::addColumn<qsizetype>("unsupportedDigits");
    QTest::addColumn<std::optional<HashAlgorithm>>("algorithm");
    const std::optional<HashAlgorithm> none;
    const std::optional<HashAlgorithm> blake2b = HashAlgorithm::Blake2b;
    const std::optional<HashAlgorithm> sha256 = HashAlgorithm::Sha256;
    const auto b2 = [](int bits) {
        return algorithmOfLength(HashAlgorithm::Blake2b, static_cast<std::size_t>(bits / 8));
    };
    const auto hex = [](int digits) { return QByteArray(digits, 'a'); };
    const auto row = [](const char* name, const QByteArray& line, std::optional<HashAlgorithm> given,
                        std::optional<HashAlgorithm> named, LineKind kind, int digits,
                        std::optional<HashAlgorithm> algorithm) {
        QTest::newRow(name) << line << given << named << kind << qsizetype(digits) << algorithm;
    };
    using K = LineKind;
    for (const int bits : {8, 128, 160, 256, 384, 504}) {
        const QByteArray line = "BLAKE2b-" + QByteArray::number(bits) + " (a) = " + hex(bits / 4);
        row(line.left(11).constData(), line, none, none, K::Entry, 0, b2(bits));
    }
    row("tagged 256, BLAKE2b given", "BLAKE2b-256 (a) = " + hex(64), blake2b, none, K::Entry, 0, b2(256));
    row("tagged 256, another algorithm given", "BLAKE2b-256 (a) = " + hex(64), sha256, none, K::Malformed, 0, none);
    row("tagged 256 in hex", "BLAKE2b-0x100 (a) = " + hex(64), none, none, K::Entry, 0, b2(256));
    row("tagged 512", "BLAKE2b-512 (a) = " + hex(128), none, none, K::Entry, 0, blake2b);
    row("tagged 256, 512 bits of hex", "BLAKE2b-256 (a) = " + hex(128), none, none, K::Malformed, 0, none);
    row("tagged 252: not whole bytes", "BLAKE2b-252 (a) = " + hex(63), none, none, K::Malformed, 0, none);
    row("tagged 520: longer than BLAKE2b", "BLAKE2b-520 (a) = " + hex(130), none, none, K::Malformed, 0, none);
    row("tagged 0", "BLAKE2b-0 (a) = ", none, none, K::Malformed, 0, none);
    row("tagged 256, no closing parenthesis", "BLAKE2b-256 (a = " + hex(64), none, none, K::Malformed, 0, none);
    row("SHA-256 cut: only BLAKE2b may be", "SHA256-128 (a) = " + hex(32), none, none, K::Malformed, 0, none);
    row("untagged 64, list named for BLAKE2b", hex(64) + "  a", none, blake2b, K::Entry, 0, b2(256));
    row("untagged 64, BLAKE2b given", hex(64) + "  a", blake2b, none, K::Entry, 0, b2(256));
    row("untagged 64, BLAKE2b given, one space", hex(64) + " a", blake2b, none, K::Entry, 0, b2(256));
    row("untagged 24, list named for BLAKE2b", hex(24) + "  a", none, blake2b, K::Entry, 0, b2(96));
    row("untagged 24, nothing named", hex(24) + "  a", none, none, K::Malformed, 24, none);
    row("untagged 64, nothing named: SHA-256", hex(64) + "  a", none, none, K::Entry, 0, sha256);
    row("untagged 128, list named for BLAKE2b", hex(128) + "  a", none, blake2b, K::Entry, 0, blake2b);
    row("untagged 40, list named for SHA-256: a hint for BLAKE2b only", hex(40) + "  a", none, sha256, K::Entry, 0,
        HashAlgorithm::Sha1);
    row("untagged 64 without a name, list named for BLAKE2b", hex(64) + "  ", none, blake2b, K::Malformed, 0, none);
    row("untagged 130, BLAKE2b given: past 512 bits", hex(130) + "  a", blake2b, none, K::Malformed, 0, none);
    // A length given (-a blake2b -l 256 elsewhere than keswin-sum's check) takes lines of that length alone.
    row("BLAKE2b-256 given, untagged 64", hex(64) + "  a", b2(256), none, K::Entry, 0, b2(256));
    row("BLAKE2b-256 given, untagged 128", hex(128) + "  a", b2(256), none, K::Malformed, 0, none);
    row("BLAKE2b-256 given, tagged 512", "BLAKE2b (a) = " + hex(128), b2(256), none, K::Malformed, 0, none);
    row("BLAKE2b-256 given, tagged 384", "BLAKE2b-384 (a) = " + hex(96), b2(256), none, K::Malformed, 0, none);
    row("BLAKE2b-256 given, tagged 256", "BLAKE2b-256 (a) = " + hex(64), b2(256), none, K::Entry, 0, b2(256));
    row("BLAKE3 tagged at 512 bits", "BLAKE3-512 (a) = " + hex(128), none, none, K::Entry, 0,
        algorithmOfLength(HashAlgorithm::Blake3, 64));
    row("BLAKE3 tagged at its own 256 bits", "BLAKE3-256 (a) = " + hex(64), none, none, K::Entry, 0,
        HashAlgorithm::Blake3);
    row("BLAKE3 tagged at 520 bits", "BLAKE3-520 (a) = " + hex(130), none, none, K::Malformed, 0, none);
    // BLAKE3 given reads untagged lines at their own length too, as its tool writes them with --length.
    const std::optional<HashAlgorithm> blake3 = HashAlgorithm::Blake3;
    const auto b3 = [](int bits) {
        return algorithmOfLength(HashAlgorithm::Blake3, static_cast<std::size_t>(bits / 8));
    };
    row("untagged 32, BLAKE3 given", hex(32) + "  a", blake3, none, K::Entry, 0, b3(128));
    row("untagged 2, BLAKE3 given", hex(2) + "  a", blake3, none, K::Entry, 0, b3(8));
    row("untagged 64, BLAKE3 given", hex(64) + "  a", blake3, none, K::Entry, 0, blake3);
    row("untagged 128, BLAKE3 given", hex(128) + "  a", blake3, none, K::Entry, 0, b3(512));
    row("untagged 32, BLAKE3 given, one space", hex(32) + " a", blake3, none, K::Entry, 0, b3(128));
    row("untagged 130, BLAKE3 given: past 512 bits", hex(130) + "  a", blake3, none, K::Malformed, 0, none);
    row("untagged 31, BLAKE3 given: odd", hex(31) + "  a", blake3, none, K::Malformed, 0, none);
    row("untagged 32, BLAKE3-128 given", hex(32) + "  a", b3(128), none, K::Entry, 0, b3(128));
    row("untagged 64, BLAKE3-128 given", hex(64) + "  a", b3(128), none, K::Malformed, 0, none);
    row("untagged 32, list named for BLAKE3: no length", hex(32) + "  a", none, blake3, K::Entry, 0,
        HashAlgorithm::Md5);
}

void TestChecksumLines::otherBlake2bLengths()
{
    QFETCH(QByteArray, line);
    QFETCH(std::optional<HashAlgorithm>, given);
    QFETCH(std::optional<HashAlgorithm>, named);
    QFETCH(LineKind, kind);
    QFETCH(qsizetype, unsupportedDigits);
    QFETCH(std::optional<HashAlgorithm>, algorithm);
    ChecksumLineParser parser({given, false, named});
    const ParsedLine parsed = parser.parse(line);
    QCOMPARE(parsed.kind, kind);
    QCOMPARE(parsed.unsupportedDigits, unsupportedDigits);
    if (kind == LineKind::Entry) {
        QCOMPARE(parsed.entry.name, QByteArray("a"));
        QCOMPARE(parsed.entry.algorithm, *algorithm);
        QCOMPARE(static_cast<std::size_t>(parsed.entry.expected.size()), algorithmInfo(*algorithm).digestBytes);
    }
}

// A two-space line whose length no algorithm here has is unsupported, not wrong; anything else keeps its verdict.
void TestChecksumLines::unsupportedLengths_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<std::optional<HashAlgorithm>>("forced");
    QTest::addColumn<LineKind>("kind");
    QTest::addColumn<qsizetype>("digits");

    const std::optional<HashAlgorithm> any;
    const QByteArray hex24 = QByteArray("0123456789abcdef").repeated(2).left(24);
    const QByteArray hex128 = QByteArray("0123456789abcdef").repeated(8);
    const auto row = [](const char* tag, const QByteArray& line, std::optional<HashAlgorithm> forced, LineKind kind,
                        qsizetype digits) { QTest::newRow(tag) << line << forced << kind << digits; };
    row("24 digits (BLAKE2b-96)", hex24 + "  f", any, LineKind::Malformed, 24);
    row("24 digits, binary marker", hex24 + " *f", any, LineKind::Malformed, 24);
    row("24 digits, escaped name", "\\" + hex24 + "  n\\nl", any, LineKind::Malformed, 24);
    row("24 digits, leading blanks", " \t" + hex24 + "  f", any, LineKind::Malformed, 24);
    row("2 digits", "ab  f", any, LineKind::Malformed, 2);
    row("126 digits", hex128.left(126) + "  f", any, LineKind::Malformed, 126);
    row("128 digits: supported", hex128 + "  f", any, LineKind::Entry, 0);
    row("130 digits: longer than any digest", hex128 + "ab  f", any, LineKind::Malformed, 0);
    row("23 digits: odd", hex24.left(23) + "  f", any, LineKind::Malformed, 0);
    row("24 digits, -a md5", hex24 + "  f", HashAlgorithm::Md5, LineKind::Malformed, 0);
    row("24 digits, one space", hex24 + " f", any, LineKind::Malformed, 0);
    row("24 digits, no name", hex24 + "  ", any, LineKind::Malformed, 0);
    row("24 digits, then junk", hex24 + "g  f", any, LineKind::Malformed, 0);
    // A tagged line says it is BLAKE2b at 96 bits: read as such (see otherBlake2bLengths).
    row("tagged BLAKE2b-96", "BLAKE2b-96 (f) = " + hex24, any, LineKind::Entry, 0);
    row("SFV whose name starts with hex", "ab  x 0123abcd", any, LineKind::Entry, 0);
}

void TestChecksumLines::unsupportedLengths()
{
    QFETCH(QByteArray, line);
    QFETCH(std::optional<HashAlgorithm>, forced);
    QFETCH(LineKind, kind);
    QFETCH(qsizetype, digits);
    ChecksumLineParser parser({forced, false, {}});
    const ParsedLine parsed = parser.parse(line);
    QCOMPARE(parsed.kind, kind);
    QCOMPARE(parsed.unsupportedDigits, digits);
}

// Every name, every algorithm: what is written reads back as the same entry.
void TestChecksumLines::writtenLinesReadBack_data()
{
    QTest::addColumn<QByteArray>("name");
    for (const char* name : {"plain", " lead and trail ", "x\\y", "n\nl", "c\rr", "\\", "-dash", "*star", "a) = b",
                             "\xff\xfe latin", "<b>markup</b>", "MD5 (x) = y"}) {
        QTest::newRow(name) << QByteArray(name);
    }
}

void TestChecksumLines::writtenLinesReadBack()
{
    QFETCH(QByteArray, name);
    for (const AlgorithmInfo& info : kAlgorithms) {
        const QByteArray digest(static_cast<qsizetype>(info.digestBytes), '\xa5');
        for (const bool tagged : {true, false}) {
            QByteArray line = tagged ? taggedLine(info.algorithm, digest, name) : untaggedLine(digest, name);
            QVERIFY(line.endsWith('\n'));
            line.chop(1);
            ChecksumLineParser parser({info.algorithm, false, {}});
            const ParsedLine parsed = parser.parse(line);
            QVERIFY2(parsed.kind == LineKind::Entry, line.constData());
            QCOMPARE(parsed.entry.name, name);
            QCOMPARE(parsed.entry.expected, digest);
            QCOMPARE(parsed.entry.algorithm, info.algorithm);
        }
    }
    // The lines keswin-sum --untagged writes, XXH3's with its prefix: read back with -a, and without it as of the
    // same length, XXH3's as XXH3.
    for (const AlgorithmInfo& info : kAlgorithms) {
        const QByteArray digest(static_cast<qsizetype>(info.digestBytes), '\x5a');
        QByteArray line;
        appendUntaggedLine(line, info.algorithm, digest, name);
        line.chop(1);
        for (const std::optional<HashAlgorithm> given :
             {std::optional(info.algorithm), std::optional<HashAlgorithm>()}) {
            ChecksumLineParser parser({given, false, {}});
            const ParsedLine parsed = parser.parse(line);
            QVERIFY2(parsed.kind == LineKind::Entry, line.constData());
            QCOMPARE(parsed.entry.name, name);
            QCOMPARE(parsed.entry.expected, digest);
            if (given || info.algorithm == HashAlgorithm::Xxh3) {
                QCOMPARE(parsed.entry.algorithm, info.algorithm);
            }
        }
    }
    const QByteArray crc = QByteArray::fromHex("e8b7be43");
    if (!name.contains('\n') && !name.contains('\r') && !name.startsWith(';') && !name.startsWith('#')) {
        ChecksumLineParser parser;
        const ParsedLine parsed = parser.parse(sfvLine(crc, name).chopped(1));
        QCOMPARE(parsed.kind, LineKind::Entry);
        QCOMPARE(parsed.entry.name, name);
        QCOMPARE(parsed.entry.expected, crc);
    }
}

void TestChecksumLines::singleSpaceFormNotMixed()
{
    const QByteArray md5Hex = kMd5OfA.toHex();
    ChecksumLineParser twoFirst({HashAlgorithm::Md5, false, {}});
    QCOMPARE(twoFirst.parse(md5Hex + "  a").kind, LineKind::Entry);
    QCOMPARE(twoFirst.parse(md5Hex + " b").kind, LineKind::Malformed);
    ChecksumLineParser singleFirst({HashAlgorithm::Md5, false, {}});
    QCOMPARE(singleFirst.parse(md5Hex + " a").kind, LineKind::Entry);
    // Once single-space, a leading blank or star belongs to the name.
    const ParsedLine next = singleFirst.parse(md5Hex + "  b");
    QCOMPARE(next.kind, LineKind::Entry);
    QCOMPARE(next.entry.name, QByteArray(" b"));
}

void TestChecksumLines::streamedLines()
{
    const QByteArray md5Hex = kMd5OfA.toHex();
    QByteArray text = "# comment\n" + md5Hex + "  one\r\n\nbad line\n\r\nMD5 (two) = " + md5Hex + "\n-  -\n" + md5Hex +
                      "  -\n" + md5Hex + "  last";
    QBuffer buffer(&text);
    buffer.open(QIODevice::ReadOnly);
    const QList<ListLine> lines = readAll(buffer, {std::nullopt, true, {}});
    QCOMPARE(lines.size(), 6);
    const QList<quint64> numbers{2, 4, 6, 7, 8, 9};
    const QList<LineKind> kinds{LineKind::Entry,     LineKind::Malformed, LineKind::Entry,
                                LineKind::Malformed, LineKind::Malformed, LineKind::Entry};
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QCOMPARE(lines[i].number, numbers[i]);
        QCOMPARE(lines[i].parsed.kind, kinds[i]);
    }
    QCOMPARE(lines[0].parsed.entry.name, QByteArray("one"));
    QCOMPARE(lines[5].parsed.entry.name, QByteArray("last"));
}

void TestChecksumLines::overlongLineNotHeld()
{
    const QByteArray md5Hex = kMd5OfA.toHex();
    constexpr qint64 huge = 64LL * 1024 * 1024;
    for (const QByteArray& tail : {QByteArray("\n" + md5Hex + "  after\n"), QByteArray()}) {
        RepeatingDevice device(md5Hex + "  ", 'x', huge, tail);
        ChecksumListReader reader(device, {}, 4096);
        const std::optional<ListLine> first = reader.next();
        QVERIFY(first.has_value());
        QCOMPARE(first->parsed.kind, LineKind::Malformed);
        QCOMPARE(first->number, quint64(1));
        const std::optional<ListLine> second = reader.next();
        QCOMPARE(second.has_value(), !tail.isEmpty());
        if (second) {
            QCOMPARE(second->parsed.entry.name, QByteArray("after"));
            QCOMPARE(second->number, quint64(2));
        }
        QVERIFY(!reader.next().has_value());
        QVERIFY(!reader.failed());
    }
}

void TestChecksumLines::lineLimitWhereverTheLineFalls_data()
{
    QTest::addColumn<qsizetype>("limit");
    QTest::addColumn<qsizetype>("before"); // bytes of short lines ahead of it, moving where the long line falls
    QTest::addColumn<qsizetype>("length"); // of the line, without its line feed
    QTest::addColumn<bool>("taken");
    for (const qsizetype before : {qsizetype(0), qsizetype(40'000), qsizetype(65'000)}) {
        const QByteArray at = QByteArray::number(before);
        QTest::newRow("at the limit, " + at) << qsizetype(4096) << before << qsizetype(4096) << true;
        QTest::newRow("one over, " + at) << qsizetype(4096) << before << qsizetype(4097) << false;
        QTest::newRow("default limit, one over, " + at)
            << ChecksumListReader::kDefaultLineLimit << before << ChecksumListReader::kDefaultLineLimit + 1 << false;
        QTest::newRow("default limit, twice over, " + at)
            << ChecksumListReader::kDefaultLineLimit << before << 2 * ChecksumListReader::kDefaultLineLimit << false;
    }
}

void TestChecksumLines::lineLimitWhereverTheLineFalls()
{
    QFETCH(qsizetype, limit);
    QFETCH(qsizetype, before);
    QFETCH(qsizetype, length);
    QFETCH(bool, taken);
    const QByteArray entry = kMd5OfA.toHex() + "  ";
    QByteArray list;
    while (list.size() < before) {
        list += entry + "short\n";
    }
    const qsizetype shortLines = list.count('\n');
    list += entry + QByteArray(length - entry.size(), 'x') + "\n" + entry + "after\n";
    QBuffer buffer(&list);
    buffer.open(QIODevice::ReadOnly);
    ChecksumListReader reader(buffer, {}, limit);
    for (qsizetype i = 0; i < shortLines; ++i) {
        QVERIFY(reader.next().has_value());
    }
    const std::optional<ListLine> line = reader.next();
    QVERIFY(line.has_value());
    QCOMPARE(line->parsed.kind, taken ? LineKind::Entry : LineKind::Malformed);
    const std::optional<ListLine> after = reader.next();
    QVERIFY(after.has_value());
    QCOMPARE(after->parsed.entry.name, QByteArray("after"));
}

void TestChecksumLines::readErrorReported()
{
    QBuffer unopened;
    ChecksumListReader reader(unopened, {});
    QVERIFY(!reader.next().has_value());
    QVERIFY(reader.failed());
}

void TestChecksumLines::pastedDigests_data()
{
    const auto colonHex = [](QByteArray hex) {
        for (qsizetype i = hex.size() - 2; i > 0; i -= 2) {
            hex.insert(i, ':');
        }
        return hex;
    };
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("digestHex"); // empty: not recognised
    QTest::addColumn<AlgorithmSet>("candidates");
    QTest::addColumn<QByteArray>("name");
    const QByteArray md5 = kMd5OfA.toHex();
    const AlgorithmSet md5Only{HashAlgorithm::Md5};
    const AlgorithmSet of16{HashAlgorithm::Md5, HashAlgorithm::Xxh128}; // a bare 32-digit digest may be either
    const AlgorithmSet of32{HashAlgorithm::Sha256, HashAlgorithm::Sha3_256, HashAlgorithm::Blake3,
                            *algorithmOfLength(HashAlgorithm::Blake2b, 32)};
    const QByteArray sha384Hex(96, 'c');
    const auto row = [](const char* tag, const QByteArray& text, const QByteArray& hex, const AlgorithmSet& set,
                        const QByteArray& name = {}) { QTest::newRow(tag) << text << hex << set << name; };
    row("bare hex", md5, md5, of16);
    row("upper case, blanks around", "  " + md5.toUpper() + "\n", md5, of16);
    row("colons", "0c:c1:75:b9:c0:f1:b6:a8:31:c3:99:e2:69:77:26:61", md5, of16);
    row("spaced groups", "0cc175b9 c0f1b6a8 31c399e2 69772661", md5, of16);
    row("64 digits: four candidates", kSha256Hex, kSha256Hex, of32);
    row("128 digits: three candidates", QByteArray(128, 'b'), QByteArray(128, 'b'),
        AlgorithmSet{HashAlgorithm::Sha512, HashAlgorithm::Sha3_512, HashAlgorithm::Blake2b});
    row("prefixed", "sha256:" + kSha256Hex, kSha256Hex, AlgorithmSet{HashAlgorithm::Sha256});
    row("prefixed SHA3", "SHA3-256:" + kSha256Hex, kSha256Hex, AlgorithmSet{HashAlgorithm::Sha3_256});
    row("SRI sha384", "sha384-" + QByteArray::fromHex(sha384Hex).toBase64(), sha384Hex,
        AlgorithmSet{HashAlgorithm::Sha384});
    row("tagged line", "MD5 (a.iso) = " + md5, md5, md5Only, "a.iso");
    row("two-space line", kSha256Hex + "  x.tar", kSha256Hex, of32, "x.tar");
    row("SFV line", "f.bin E8B7BE43", "e8b7be43", AlgorithmSet{HashAlgorithm::Crc32}, "f.bin");
    // As web pages copy them.
    row("trailing no-break space", md5 + "\xC2\xA0", md5, of16);
    row("leading zero-width space", "\xE2\x80\x8B" + md5, md5, of16);
    row("invisible characters both ends, nested in blanks", " \xEF\xBB\xBF " + md5 + "\xE2\x81\xA0 \xC2\xA0", md5,
        of16);
    row("single-space line", kSha256Hex + " x.tar", kSha256Hex, of32, "x.tar");
    row("single-space line, name with spaces", md5 + " my file.iso", md5, of16, "my file.iso");
    row("prefixed, colon-separated", "sha256:" + colonHex(kSha256Hex), kSha256Hex, AlgorithmSet{HashAlgorithm::Sha256});
    row("prefixed, colon-separated, upper case", "MD5:" + colonHex(md5).toUpper(), md5, md5Only);
    row("single space, no name", md5 + " ", md5, of16);
    row("single space, no algorithm of that length", md5 + "00 x.iso", {}, {});
    row("single space, hex not a digest", "0cc1zz x.iso", {}, {});
    row("prefixed, colons doubled", "sha256:" + colonHex(kSha256Hex).replace(":", "::"), {}, {});
    row("no-break space inside", md5.left(8) + "\xC2\xA0" + md5.mid(8), {}, {});
    row("odd hex", md5.chopped(1), {}, {});
    row("no algorithm of that length", md5 + "00", {}, {});
    row("double separator", "0c::c1", {}, {});
    row("prefix, wrong length", "sha256:" + md5, {}, {});
    row("SRI of md5", "md5-" + kMd5OfA.toBase64(), {}, {});
    row("SRI, bad base64", "sha384-***", {}, {});
    row("two lines", md5 + "\n" + md5, {}, {});
    row("garbage", "<b>hello</b>", {}, {});
    row("empty", "", {}, {});
}

void TestChecksumLines::pastedDigests()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, digestHex);
    QFETCH(AlgorithmSet, candidates);
    QFETCH(QByteArray, name);
    const std::optional<PastedDigest> found = recognizePastedDigest(text);
    QCOMPARE(found.has_value(), !digestHex.isEmpty());
    if (found) {
        QCOMPARE(found->digest.toHex(), digestHex);
        QVERIFY(found->candidates == candidates);
        QCOMPARE(found->name, name);
    }
}

// The forms cloud storage shows, each digest of "a" (python's hashlib; CRC-32C by a bitwise reference, as rhash
// --crc32c gives it), and near misses that must never pass for a digest.
void TestChecksumLines::cloudDigests_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("digestHex"); // empty: not recognised
    QTest::addColumn<AlgorithmSet>("candidates");
    QTest::addColumn<bool>("base64");
    const QByteArray md5 = "0cc175b9c0f1b6a831c399e269772661";
    const QByteArray md5Base64 = "DMF1ucDxtqgxw5niaXcmYQ==";
    const QByteArray sha1 = "86f7e437faa5a7fce15d1ddcb9eaeaea377667b8";
    const QByteArray sha256Base64 = "ypeBEsobvcr6wjGzmiPcTaeG7/gUfE5yuYB3ha/uSLs=";
    const QByteArray crc32c = "c1d04330";
    const QByteArray crc32cBase64 = "wdBDMA==";
    const AlgorithmSet md5Only{HashAlgorithm::Md5};
    const AlgorithmSet sha256Only{HashAlgorithm::Sha256};
    const AlgorithmSet crc32cOnly{HashAlgorithm::Crc32c};
    const AlgorithmSet eitherCrc{HashAlgorithm::Crc32c, HashAlgorithm::Crc32};
    const auto row = [](const char* tag, const QByteArray& text, const QByteArray& hex = {},
                        const AlgorithmSet& set = {},
                        bool base64 = true) { QTest::newRow(tag) << text << hex << set << base64; };
    row("bare CRC, either of the two", crc32cBase64, crc32c, eitherCrc);
    row("bare CRC-32 with a plus", "6Le+Qw==", "e8b7be43", eitherCrc);
    row("bare MD5", md5Base64, md5, md5Only);
    row("bare SHA-1", "hvfkN/qlp/zhXR3cuerq6jd2Z7g=", sha1, AlgorithmSet{HashAlgorithm::Sha1});
    row("bare SHA-256", sha256Base64, kSha256Hex, sha256Only);
    row("bare, blanks around", "  " + md5Base64 + " \n", md5, md5Only);
    row("crc32c: prefix", "crc32c:" + crc32cBase64, crc32c, crc32cOnly);
    row("md5: prefix, upper case", "MD5:" + md5Base64, md5, md5Only);
    row("sha256: prefix and a blank", "sha256: " + sha256Base64, kSha256Hex, sha256Only);
    row("gsutil hash", "Hash (crc32c):\t\t" + crc32cBase64, crc32c, crc32cOnly);
    row("gsutil hash, md5", "\tHash (md5):\t\t" + md5Base64, md5, md5Only);
    row("gsutil hash -h", "Hash (md5):\t\t" + md5, md5, md5Only, false);
    row("gcloud storage hash", "crc32c_hash: " + crc32cBase64, crc32c, crc32cOnly);
    row("gcloud storage hash, md5", "md5_hash: " + md5Base64, md5, md5Only);
    row("gcloud storage hash --hex", "crc32c_hash: " + crc32c, crc32c, crc32cOnly, false);
    row("S3 header, SHA-256", "x-amz-checksum-sha256: " + sha256Base64, kSha256Hex, sha256Only);
    row("S3 header, CRC-32C", "X-Amz-Checksum-Crc32c: " + crc32cBase64, crc32c, crc32cOnly);
    row("S3 header, CRC-32", "x-amz-checksum-crc32: 6Le+Qw==", "e8b7be43", AlgorithmSet{HashAlgorithm::Crc32});
    row("Content-MD5 header", "Content-MD5: " + md5Base64, md5, md5Only);
    row("ContentMD5", "ContentMD5: " + md5Base64, md5, md5Only);
    row("JSON of the AWS command line", "\"ChecksumCRC32C\": \"" + crc32cBase64 + "\",", crc32c, crc32cOnly);
    row("JSON of an object's metadata", "\"md5Hash\": \"" + md5Base64 + "\"", md5, md5Only);
    row("SRI still SHA-256 alone", "sha256-" + sha256Base64, kSha256Hex, sha256Only);
    // Near misses.
    row("no padding", md5Base64.chopped(2));
    row("one pad short", md5Base64.chopped(1));
    row("padding doubled", md5Base64 + "==");
    row("23 characters", md5Base64.sliced(1));
    row("spare bits set", "wdBDMB==");
    row("URL-safe alphabet", "6Le-Qw==");
    row("URL-safe alphabet, prefixed", "crc32:6Le-Qw==");
    row("a blank inside", "DMF1ucDx tqgxw5niaXcmYQ==");
    row("junk after", md5Base64 + "!");
    row("wrong prefix for the length", "md5:" + crc32cBase64);
    row("SHA-256's base64 under md5's header", "Content-MD5: " + sha256Base64);
    row("an algorithm nobody computes here", "x-amz-checksum-crc64nvme: AAAAAAAAAAA=");
    row("an unknown label", "etag: " + md5Base64);
    row("gsutil's label without the algorithm", "Hash (): " + md5Base64);
    row("unknown label around a known one", "Hash (crc32c) of: " + crc32cBase64);
    row("base64 of 6 bytes", "ZZZZZZZZ");
    row("base64 of 48 bytes, no bare length", QByteArray(48, 'x').toBase64());
    row("a word of the right length", "Password");
    row("two forms on one line", crc32cBase64 + " " + md5Base64);
    row("empty value", "crc32c_hash: ");
}

void TestChecksumLines::cloudDigests()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, digestHex);
    QFETCH(AlgorithmSet, candidates);
    QFETCH(bool, base64);
    const std::optional<PastedDigest> found = recognizePastedDigest(text);
    QCOMPARE(found.has_value(), !digestHex.isEmpty());
    if (found) {
        QCOMPARE(found->digest.toHex(), digestHex);
        QVERIFY(found->candidates == candidates);
        QCOMPARE(found->form, base64 ? PastedForm::Base64 : PastedForm::Hex);
        QVERIFY(found->name.isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestChecksumLines)
#include "TestChecksumLines.moc"
