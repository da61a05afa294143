#include "Algorithms.h"
#include "BesideDigests.h"
#include "Hasher.h"
#include "HexDigest.h"
#include "SumOptions.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

Q_DECLARE_METATYPE(HashAlgorithm)
Q_DECLARE_METATYPE(std::optional<HashAlgorithm>)

namespace {

QByteArray bytesOf(std::string_view text)
{
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

QByteArray sourceFile(const char* relative)
{
    QFile file(QStringLiteral(KESWIN_SOURCE_DIR "/") + QString::fromLatin1(relative));
    if (!file.open(QIODevice::ReadOnly)) {
        qFatal("cannot read %s", qPrintable(file.fileName()));
    }
    return file.readAll();
}

// The lines of a man page's section, from its .SH line to the next.
QList<QByteArray> manSection(const QByteArray& page, const QByteArray& heading)
{
    QList<QByteArray> lines;
    bool inside = false;
    for (const QByteArray& line : page.split('\n')) {
        if (line.startsWith(".SH ")) {
            inside = line == ".SH " + heading;
        } else if (inside) {
            lines.append(line);
        }
    }
    return lines;
}

// A roff word as a reader sees it: "\-" is a hyphen.
QByteArray unroff(QByteArray text)
{
    return text.replace("\\-", "-");
}

// "crc32, md5, ..., blake2b (512 bits)": what the help text and the README list, made from the table here.
QByteArray namesWithLengths()
{
    QByteArrayList words;
    for (const AlgorithmInfo& info : kAlgorithms) {
        QByteArray word = bytesOf(info.name);
        if (!info.otherTag.empty()) {
            word += " (" + QByteArray::number(static_cast<qulonglong>(info.digestBytes * 8)) + " bits)";
        }
        words.append(word);
    }
    return words.join(", ");
}

} // namespace

class TestAlgorithmTable : public QObject
{
    Q_OBJECT

private slots:
    void everyRowIsFoundByItsNamesAndTags();
    void everyRowsHasherGivesItsLength();
    void everyLengthOfAFamilyHasItsKey();
    void bareDigestIsTakenForTheMostCommon_data();
    void bareDigestIsTakenForTheMostCommon();
    void besideNamesInSearchOrder();
    void checksumFileNameGivesItsAlgorithm_data();
    void checksumFileNameGivesItsAlgorithm();
    void checksumFileNamesInAnyCase_data();
    void checksumFileNamesInAnyCase();
    void helpTextListsEveryAlgorithm();
    void sumManPageDescribesEveryRow();
    void checkManPageNamesEverySuffix();
    void readmeListsEveryAlgorithm();
};

void TestAlgorithmTable::everyRowIsFoundByItsNamesAndTags()
{
    for (const AlgorithmInfo& info : kAlgorithms) {
        QCOMPARE(algorithmFromName(info.name), info.algorithm);
        QCOMPARE(algorithmFromName(bytesOf(info.name).toUpper().toStdString()), info.algorithm);
        QCOMPARE(algorithmFromTag(info.tag), info.algorithm);
        if (!info.otherTag.empty()) {
            QCOMPARE(algorithmFromTag(info.otherTag), info.algorithm);
        }
        QCOMPARE(&algorithmInfo(info.algorithm), &info);
        QCOMPARE(algorithmName(info.algorithm), QString::fromLatin1(bytesOf(info.displayName)));
    }
    // Tags are exact, names are not.
    QCOMPARE(algorithmFromTag("sha256"), std::nullopt);
    QCOMPARE(algorithmFromTag("BLAKE2b-256"), std::nullopt);
    QCOMPARE(algorithmFromName("sha-256"), std::nullopt);
}

// The lengths the table claims are the lengths the libraries give.
void TestAlgorithmTable::everyRowsHasherGivesItsLength()
{
    for (const AlgorithmInfo& info : kAlgorithms) {
        QString error;
        const std::unique_ptr<Hasher> hasher = Hasher::create(info.algorithm, &error);
        QVERIFY2(hasher, qPrintable(error));
        const std::optional<QByteArray> digest = hasher->result();
        QVERIFY(digest);
        QCOMPARE(static_cast<std::size_t>(digest->size()), info.digestBytes);
    }
}

// Each whole number of bytes of BLAKE2b and BLAKE3 is a key of its own, with a row that names its length, a hasher
// that gives it, and its family; the family's own length is the named key, and nothing is past 64 bytes.
void TestAlgorithmTable::everyLengthOfAFamilyHasItsKey()
{
    AlgorithmSet seen;
    for (const HashAlgorithm family : {HashAlgorithm::Blake2b, HashAlgorithm::Blake3}) {
        QVERIFY(hasLengths(family));
        QCOMPARE(algorithmOfLength(family, 0), std::nullopt);
        QCOMPARE(algorithmOfLength(family, 65), std::nullopt);
        QCOMPARE(algorithmOfLength(family, algorithmInfo(family).digestBytes), family);
        for (std::size_t bytes = 1; bytes <= 64; ++bytes) {
            const std::optional<HashAlgorithm> key = algorithmOfLength(family, bytes);
            QVERIFY(key);
            QVERIFY(indexOf(*key) < kAlgorithmCount);
            QVERIFY2(!seen.contains(*key), "two lengths share a key");
            seen.insert(*key);
            const AlgorithmInfo& info = algorithmInfo(*key);
            QCOMPARE(info.algorithm, *key);
            QCOMPARE(info.digestBytes, bytes);
            QCOMPARE(familyOf(*key), family);
            QCOMPARE(info.name, algorithmInfo(family).name);
            if (*key != family) {
                const QByteArray tag = bytesOf(algorithmInfo(family).tag) + '-' + QByteArray::number(bytes * 8);
                QCOMPARE(bytesOf(info.tag), tag);
                QCOMPARE(algorithmName(*key), QString::fromLatin1(tag));
                QVERIFY(info.suffix.empty() && info.listName.empty());
            }
            QString error;
            const std::unique_ptr<Hasher> hasher = Hasher::create(*key, &error);
            QVERIFY2(hasher, qPrintable(error));
            QCOMPARE(static_cast<std::size_t>(hasher->result().value_or(QByteArray()).size()), bytes);
        }
    }
    // A set iterates the derived keys after the named ones, and holds every one of them.
    QCOMPARE(seen.size(), std::size_t{128});
    std::vector<HashAlgorithm> order;
    AlgorithmSet{*algorithmOfLength(HashAlgorithm::Blake2b, 32), HashAlgorithm::Sha256}.forEach(
        [&order](HashAlgorithm algorithm) { order.push_back(algorithm); });
    QCOMPARE(order, (std::vector{HashAlgorithm::Sha256, *algorithmOfLength(HashAlgorithm::Blake2b, 32)}));
    QCOMPARE(familyOf(HashAlgorithm::Sha256), HashAlgorithm::Sha256);
    QVERIFY(!hasLengths(HashAlgorithm::Sha256));
    QCOMPARE(algorithmOfLength(HashAlgorithm::Sha256, 32), std::nullopt);
}

void TestAlgorithmTable::bareDigestIsTakenForTheMostCommon_data()
{
    QTest::addColumn<int>("bytes");
    QTest::addColumn<std::optional<HashAlgorithm>>("expected");
    const std::pair<int, std::optional<HashAlgorithm>> rows[] = {
        {4, HashAlgorithm::Crc32},   {16, HashAlgorithm::Md5},    {20, HashAlgorithm::Sha1},
        {28, HashAlgorithm::Sha224}, {32, HashAlgorithm::Sha256}, {48, HashAlgorithm::Sha384},
        {64, HashAlgorithm::Sha512}, {0, std::nullopt},           {8, HashAlgorithm::Xxh64},
        {31, std::nullopt},          {33, std::nullopt},          {128, std::nullopt},
    };
    for (const auto& [bytes, expected] : rows) {
        QTest::addRow("%d bytes", bytes) << bytes << expected;
    }
}

void TestAlgorithmTable::bareDigestIsTakenForTheMostCommon()
{
    QFETCH(int, bytes);
    QFETCH(std::optional<HashAlgorithm>, expected);
    QCOMPARE(preferredAlgorithmForDigestBytes(static_cast<std::size_t>(bytes)), expected);
    if (expected) {
        QVERIFY(algorithmsForDigestBytes(static_cast<std::size_t>(bytes)).contains(*expected));
    }
}

// The search order is what the check window reports its sources in.
void TestAlgorithmTable::besideNamesInSearchOrder()
{
    const std::pair<QByteArray, std::optional<HashAlgorithm>> expected[] = {
        {".sha256", HashAlgorithm::Sha256},    {".sha512", HashAlgorithm::Sha512},
        {".sha1", HashAlgorithm::Sha1},        {".md5", HashAlgorithm::Md5},
        {".sfv", HashAlgorithm::Crc32},        {".b2", HashAlgorithm::Blake2b},
        {".b3", HashAlgorithm::Blake3},        {".xxh128", HashAlgorithm::Xxh128},
        {".xxh64", HashAlgorithm::Xxh64},      {".xxh3", HashAlgorithm::Xxh3},
        {".sha256sum", HashAlgorithm::Sha256}, {".sha512sum", HashAlgorithm::Sha512},
        {".sha1sum", HashAlgorithm::Sha1},     {".md5sum", HashAlgorithm::Md5},
        {"SHA256SUMS", HashAlgorithm::Sha256}, {"SHA512SUMS", HashAlgorithm::Sha512},
        {"SHA1SUMS", HashAlgorithm::Sha1},     {"MD5SUMS", HashAlgorithm::Md5},
        {"B2SUMS", HashAlgorithm::Blake2b},    {"SHA224SUMS", HashAlgorithm::Sha224},
        {"SHA384SUMS", HashAlgorithm::Sha384}, {"B3SUMS", HashAlgorithm::Blake3},
        {"XXH128SUMS", HashAlgorithm::Xxh128}, {"CHECKSUM", std::nullopt},
    };
    QCOMPARE(std::size(kBesideNames), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        QCOMPARE(QByteArray(kBesideNames[i].name), expected[i].first);
        QCOMPARE(kBesideNames[i].algorithm, expected[i].second);
    }
}

void TestAlgorithmTable::checksumFileNameGivesItsAlgorithm_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<std::optional<HashAlgorithm>>("expected");
    QTest::newRow("suffix") << QByteArray("/d/image.iso.sha256") << std::optional(HashAlgorithm::Sha256);
    QTest::newRow("sfv") << QByteArray("set.sfv") << std::optional(HashAlgorithm::Crc32);
    QTest::newRow("b2") << QByteArray("/d/x.b2") << std::optional(HashAlgorithm::Blake2b);
    QTest::newRow("list") << QByteArray("/d/SHA1SUMS") << std::optional(HashAlgorithm::Sha1);
    QTest::newRow("B2SUMS") << QByteArray("B2SUMS") << std::optional(HashAlgorithm::Blake2b);
    QTest::newRow("untyped list") << QByteArray("/d/CHECKSUM") << std::optional<HashAlgorithm>();
    QTest::newRow("no suffix for sha224") << QByteArray("x.sha224") << std::optional<HashAlgorithm>();
    // Names in any case, as the installed MIME globs take them.
    QTest::newRow("upper-case suffix") << QByteArray("x.SHA256") << std::optional(HashAlgorithm::Sha256);
    QTest::newRow(".MD5") << QByteArray("/d/game.iso.MD5") << std::optional(HashAlgorithm::Md5);
    QTest::newRow("sha256sums") << QByteArray("sha256sums") << std::optional(HashAlgorithm::Sha256);
    QTest::newRow("sha256sum.txt") << QByteArray("/d/sha256sum.txt") << std::optional(HashAlgorithm::Sha256);
    QTest::newRow("SHA256SUMS.txt") << QByteArray("/d/SHA256SUMS.txt") << std::optional(HashAlgorithm::Sha256);
    QTest::newRow("SHA384SUMS") << QByteArray("SHA384SUMS") << std::optional(HashAlgorithm::Sha384);
    QTest::newRow("SHA224SUMS") << QByteArray("SHA224SUMS") << std::optional(HashAlgorithm::Sha224);
    QTest::newRow("md5sum") << QByteArray("md5sum") << std::optional(HashAlgorithm::Md5);
    QTest::newRow("a release's CHECKSUM")
        << QByteArray("/d/Fedora-39-x86_64-CHECKSUM") << std::optional<HashAlgorithm>();
    QTest::newRow("a SUMS the table lacks") << QByteArray("SHA3-256SUMS") << std::optional<HashAlgorithm>();
    QTest::newRow("list name in a folder's name") << QByteArray("/SHA256SUMS/x") << std::optional<HashAlgorithm>();
    QTest::newRow("list name with more") << QByteArray("/d/SHA256SUMS.asc") << std::optional<HashAlgorithm>();
}

void TestAlgorithmTable::checksumFileNameGivesItsAlgorithm()
{
    QFETCH(QByteArray, path);
    QFETCH(std::optional<HashAlgorithm>, expected);
    QCOMPARE(algorithmNamedBy(path), expected);
}

void TestAlgorithmTable::checksumFileNamesInAnyCase_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("recognised");
    QTest::addColumn<QByteArray>("dataName"); // a sidecar's file; empty for a list
    QTest::newRow("sidecar") << QByteArray("game.iso.sha256") << true << QByteArray("game.iso");
    QTest::newRow("sidecar, upper case") << QByteArray("game.iso.MD5") << true << QByteArray("game.iso");
    QTest::newRow("sidecar, mixed case") << QByteArray("X.Sha512") << true << QByteArray("X");
    QTest::newRow("hidden .sha256 alone") << QByteArray(".sha256") << false << QByteArray();
    QTest::newRow("list, lower case") << QByteArray("b2sums") << true << QByteArray();
    QTest::newRow("list as text") << QByteArray("MD5SUMS.TXT") << true << QByteArray();
    QTest::newRow("CHECKSUM, lower case") << QByteArray("checksum") << true << QByteArray();
    QTest::newRow("-CHECKSUM") << QByteArray("Fedora-Workstation-Live-x86_64-39-1.5-CHECKSUM") << true << QByteArray();
    QTest::newRow("any *SUMS") << QByteArray("sha3-512sums") << true << QByteArray();
    QTest::newRow("SUMS alone") << QByteArray("SUMS") << false << QByteArray();
    QTest::newRow("CHECKSUM in a longer word") << QByteArray("MYCHECKSUM") << false << QByteArray();
    QTest::newRow("signature of a list") << QByteArray("SHA256SUMS.gpg") << false << QByteArray();
    QTest::newRow("a data file") << QByteArray("release.iso") << false << QByteArray();
    QTest::newRow("suffix inside the name") << QByteArray("x.sha256.iso") << false << QByteArray();
}

void TestAlgorithmTable::checksumFileNamesInAnyCase()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, recognised);
    QFETCH(QByteArray, dataName);
    const std::optional<ChecksumFileName> named = checksumFileName(name);
    QCOMPARE(named.has_value(), recognised);
    if (named) {
        QCOMPARE(named->dataName, dataName);
    }
}

void TestAlgorithmTable::helpTextListsEveryAlgorithm()
{
    const QByteArray help = helpText("keswin-sum");
    const qsizetype at = help.indexOf("\nALGORITHMS: ");
    QVERIFY(at >= 0);
    const qsizetype end = help.indexOf("\n\n", at + 1);
    QVERIFY(end > at);
    const QByteArray paragraph = help.sliced(at + 1, end - at - 1);
    for (const QByteArray& line : paragraph.split('\n')) {
        QVERIFY2(line.size() <= 79, line.constData());
    }
    QCOMPARE(QByteArray(paragraph).replace('\n', ' '), "ALGORITHMS: " + namesWithLengths() + '.');
}

// The ALGORITHMS section: for each row in the table's order its name, tag and length; the other tags and the
// lengths read without a tag are in CHECKSUM LISTS.
void TestAlgorithmTable::sumManPageDescribesEveryRow()
{
    const QByteArray page = sourceFile("packaging/keswin-sum.1.in");
    const QList<QByteArray> section = manSection(page, "ALGORITHMS");
    QList<QByteArray> described;
    for (qsizetype i = 0; i + 4 < section.size(); ++i) {
        if (section[i] == ".TP") {
            const QByteArray& length = section[i + 4]; // "32 bits, the CRC-32 of zip and PNG."
            described.append(unroff(section[i + 1]) + '|' + section[i + 2] + '|' + unroff(section[i + 3]) + '|' +
                             length.first(std::max<qsizetype>(0, length.indexOf(" bits") + 5)));
        }
    }
    QList<QByteArray> expected;
    for (const AlgorithmInfo& info : kAlgorithms) {
        expected.append(".B " + bytesOf(info.name) + "|Tag|.BR " + bytesOf(info.tag) + " ;|" +
                        QByteArray::number(static_cast<qulonglong>(info.digestBytes * 8)) + " bits");
    }
    QCOMPARE(described.join('\n'), expected.join('\n'));

    const QByteArray lists = unroff(manSection(page, "CHECKSUM LISTS").join('\n'));
    for (const AlgorithmInfo& info : kAlgorithms) {
        if (!info.otherTag.empty()) {
            QVERIFY2(lists.contains(".B " + bytesOf(info.otherTag) + '\n'), info.otherTag.data());
        }
    }
    // "(64 digits: SHA-256 and SHA3-256; 128: SHA-512, SHA3-512 and BLAKE2b)": every algorithm of the length.
    static const QRegularExpression said(QStringLiteral("\\((\\d+) digits: ([^;]+); (\\d+): ([^)]+)\\)"));
    const QRegularExpressionMatch match = said.match(QString::fromLatin1(lists).simplified());
    QVERIFY(match.hasMatch());
    for (int at : {1, 3}) {
        QStringList names;
        algorithmsForDigestBytes(static_cast<std::size_t>(match.captured(at).toInt() / 2))
            .forEach([&names](HashAlgorithm algorithm) { names.append(algorithmName(algorithm)); });
        const QString last = names.takeLast();
        QCOMPARE(match.captured(at + 1), names.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last);
    }
}

// The check window's page names every suffix it looks for, most common first, and the lists by their ending.
void TestAlgorithmTable::checkManPageNamesEverySuffix()
{
    const QByteArray page = sourceFile("packaging/keswin-check.1.in");
    QByteArray named;
    for (const QByteArray& line : page.split('\n')) {
        if (line.startsWith(".IR NAME .")) {
            named += line.sliced(9).chopped(1) + ' ';
        }
    }
    QByteArray expected;
    for (const AlgorithmInfo& info : kAlgorithmsByCommonness) {
        if (!info.suffix.empty()) {
            expected += bytesOf(info.suffix) + ' ';
        }
    }
    QCOMPARE(named, expected);
    QVERIFY(page.contains(".BR " + QByteArray(kUntypedListName) + " ,\nor ending in\n.BR SUMS ,"));
    for (const AlgorithmInfo& info : kAlgorithms) {
        QVERIFY2(info.listName.empty() || bytesOf(info.listName).endsWith("SUMS"), info.listName.data());
        // Every list looked for beside a file is named, whether it is the last of the names or not.
        QVERIFY2(info.listName.empty() || page.contains(".BR " + bytesOf(info.listName) + " ") ||
                     page.contains(".B " + bytesOf(info.listName) + "\n"),
                 info.listName.data());
    }
}

void TestAlgorithmTable::readmeListsEveryAlgorithm()
{
    const QByteArray readme = sourceFile("README.md").simplified(); // the line may wrap
    QVERIFY2(readme.contains("- Algorithms: " + namesWithLengths() + ';'), namesWithLengths().constData());
}

QTEST_GUILESS_MAIN(TestAlgorithmTable)
#include "TestAlgorithmTable.moc"
