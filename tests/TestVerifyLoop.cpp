#include "ChecksumListReader.h"
#include "ListFile.h"
#include "QuotedName.h"
#include "VerifyLoop.h"

#include <cerrno>
#include <QBuffer>
#include <QCryptographicHash>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(VerifyOutcome)

namespace {

const QByteArray kContentA = "a";
const QByteArray kMd5OfA = QByteArray::fromHex("0cc175b9c0f1b6a831c399e269772661");

// Digests from a table of paths: what is listed there is read, the rest is missing. Records what was asked and how
// far ahead of the reports the loop ran.
class TableSource : public DigestSource
{
public:
    QHash<QByteArray, FileDigests> files;
    QList<VerifyRequest> asked;
    std::size_t taken = 0;
    std::size_t mostAhead = 0;

    void submit(const VerifyRequest& request) override
    {
        asked.append(request);
        mostAhead = std::max(mostAhead, static_cast<std::size_t>(asked.size()) - taken);
    }
    FileDigests takeNext() override
    {
        const VerifyRequest& request = asked[static_cast<qsizetype>(taken++)];
        const QByteArray key = request.fromStandardInput ? QByteArray("<stdin>") : request.nativePath;
        if (!files.contains(key)) {
            FileDigests missing;
            missing.failure = DigestFailure::Missing;
            missing.reason = QStringLiteral("No such file or directory");
            return missing;
        }
        return files.value(key);
    }
};

class RecordingObserver : public VerifyObserver
{
public:
    QList<VerifyEvent> events;
    QStringList order; // "read N" and "verdict N", as they came
    qsizetype stopAfter = -1;
    void onEntryRead(const VerifyEntry& entry) override
    {
        order.append(QStringLiteral("read %1 %2").arg(entry.line.number).arg(QString::fromUtf8(entry.path)));
    }
    void onVerdict(const VerifyEvent& event) override
    {
        events.append(event);
        order.append(QStringLiteral("verdict %1").arg(event.lineNumber));
    }
    bool stopRequested() const override { return stopAfter >= 0 && events.size() >= stopAfter; }
};

FileDigests readMd5(const QByteArray& digest)
{
    FileDigests result;
    result.failure = DigestFailure::None;
    result.digests[indexOf(HashAlgorithm::Md5)] = digest;
    return result;
}

FileDigests failed(DigestFailure failure, const QString& reason)
{
    FileDigests result;
    result.failure = failure;
    result.reason = reason;
    return result;
}

} // namespace

class TestVerifyLoop : public QObject
{
    Q_OBJECT

private slots:
    void eventsInListOrder_data();
    void eventsInListOrder();
    void windowBoundsReadAhead();
    void oneReadPerFileOfARun_data();
    void oneReadPerFileOfARun();
    void namesResolvedAgainstBaseFolder_data();
    void namesResolvedAgainstBaseFolder();
    void quotedNames_data();
    void quotedNames();
    void judgedOverCandidates_data();
    void judgedOverCandidates();
    void entriesReadBeforeTheirVerdicts();
    void stopsWhenAsked();
    void verdictsAsKnownPassAReadThatWaits();
    void listedBytesAsRead_data();
    void listedBytesAsRead();
};

void TestVerifyLoop::eventsInListOrder_data()
{
    QTest::addColumn<bool>("ignoreMissing");
    QTest::addColumn<QList<VerifyOutcome>>("outcomes");
    using O = VerifyOutcome;
    QTest::newRow("reported") << false << QList<O>{O::Matched,    O::Malformed,  O::Mismatched, O::Unreadable,
                                                   O::Unreadable, O::Unreadable, O::Matched,    O::Unreadable};
    QTest::newRow("missing ignored") << true << QList<O>{O::Matched,    O::Malformed,  O::Mismatched, O::MissingIgnored,
                                                         O::Unreadable, O::Unreadable, O::Matched,    O::Unreadable};
}

// Every kind of answer once, with a malformed line between entries: the events come in the list's order, each with
// its line number, and "Matched" only where the bytes are equal.
void TestVerifyLoop::eventsInListOrder()
{
    QFETCH(bool, ignoreMissing);
    QFETCH(QList<VerifyOutcome>, outcomes);
    const QByteArray hex = kMd5OfA.toHex();
    QByteArray list = "MD5 (good) = " + hex + "\nnot a line\n# skipped\n" + hex + "  changed\n" + hex + "  missing\n" +
                      hex + "  folder\n" + hex + "  refused\n" + hex + "  -\n" + hex + "  changing\n";
    TableSource source;
    QByteArray flipped = kMd5OfA;
    flipped[15] = static_cast<char>(flipped[15] ^ 1);
    source.files.insert("good", readMd5(kMd5OfA));
    source.files.insert("changed", readMd5(flipped));
    source.files.insert("folder", failed(DigestFailure::NotRegularFile, QStringLiteral("Is a directory")));
    FileDigests refused = readMd5({});
    refused.refusals[indexOf(HashAlgorithm::Md5)] = QStringLiteral("refused by the provider");
    source.files.insert("refused", refused);
    source.files.insert("<stdin>", readMd5(kMd5OfA));
    source.files.insert("changing", failed(DigestFailure::ChangedWhileRead, QStringLiteral("changed while read")));

    QBuffer buffer(&list);
    buffer.open(QIODevice::ReadOnly);
    ChecksumListReader reader(buffer, {});
    RecordingObserver observer;
    VerifyOptions options;
    options.ignoreMissing = ignoreMissing;
    const VerifyCounts counts = verifyList(reader, source, observer, options);

    QCOMPARE(observer.events.size(), outcomes.size());
    const QList<quint64> lines{1, 2, 4, 5, 6, 7, 8, 9};
    for (qsizetype i = 0; i < outcomes.size(); ++i) {
        QCOMPARE(observer.events[i].outcome, outcomes[i]);
        QCOMPARE(observer.events[i].lineNumber, lines[i]);
    }
    QCOMPARE(observer.events[2].actual, flipped);
    QCOMPARE(observer.events[2].entry.expected, kMd5OfA);
    QCOMPARE(observer.events[4].failure, DigestFailure::NotRegularFile);
    QCOMPARE(observer.events[4].reason, QStringLiteral("Is a directory"));
    QCOMPARE(observer.events[5].failure, DigestFailure::DigestRefused);
    QCOMPARE(observer.events[5].reason, QStringLiteral("refused by the provider"));
    QCOMPARE(observer.events[7].failure, DigestFailure::ChangedWhileRead);
    QVERIFY(source.asked[5].fromStandardInput);
    QCOMPARE(counts.matched, quint64(2));
    QCOMPARE(counts.mismatched, quint64(1));
    QCOMPARE(counts.malformed, quint64(1));
    QCOMPARE(counts.unreadable, quint64(ignoreMissing ? 3 : 4));
    QCOMPARE(counts.missingIgnored, quint64(ignoreMissing ? 1 : 0));
}

// A long list never has more than the window's entries asked for and not yet reported.
void TestVerifyLoop::windowBoundsReadAhead()
{
    QByteArray list;
    for (int i = 0; i < 1000; ++i) {
        list += kMd5OfA.toHex() + "  f" + QByteArray::number(i) + (i % 7 == 0 ? "\nbroken\n" : "\n");
    }
    QBuffer buffer(&list);
    buffer.open(QIODevice::ReadOnly);
    ChecksumListReader reader(buffer, {});
    TableSource source;
    RecordingObserver observer;
    VerifyOptions options;
    options.window = 5;
    const VerifyCounts counts = verifyList(reader, source, observer, options);
    QCOMPARE(counts.unreadable, quint64(1000));
    QCOMPARE(counts.malformed, quint64(143));
    QCOMPARE(source.mostAhead, std::size_t(5));
    for (qsizetype i = 1; i < observer.events.size(); ++i) {
        QVERIFY(observer.events[i - 1].lineNumber < observer.events[i].lineNumber);
    }
}

void TestVerifyLoop::oneReadPerFileOfARun_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QStringList>("reads"); // "path:number of digests" per request, in order
    QTest::addColumn<int>("matched");
    const QByteArray md5 = "MD5 (%1) = " + QByteArray(32, '0') + "\n";
    const QByteArray sha1 = "SHA1 (%1) = " + QByteArray(40, '0') + "\n";
    const QByteArray more = "SHA256 (%1) = " + QByteArray(64, '0') + "\nCRC32 (%1) = " + QByteArray(8, '0') + "\n";
    const auto of = [](const QByteArray& line, const char* name) { return QByteArray(line).replace("%1", name); };
    QTest::newRow("four digests of one file")
        << of(md5, "f") + of(sha1, "f") + of(more, "f") << QStringList{"f:4"} << 4;
    QTest::newRow("two files, two each") << of(md5, "a") + of(sha1, "a") + of(md5, "b") + of(sha1, "b")
                                         << QStringList{"a:2", "b:2"} << 4;
    QTest::newRow("same name apart") << of(md5, "a") + of(md5, "b") + of(sha1, "a") << QStringList{"a:1", "b:1", "a:1"}
                                     << 3;
    QTest::newRow("a broken line between") << of(md5, "a") + "junk\n" + of(sha1, "a") << QStringList{"a:2"} << 2;
    QTest::newRow("the same digest twice") << of(md5, "a") + of(md5, "a") << QStringList{"a:1"} << 2;
    QTest::newRow("standard input read for each") << of(md5, "-") + of(sha1, "-") << QStringList{"-:1", "-:1"} << 0;
}

void TestVerifyLoop::oneReadPerFileOfARun()
{
    QFETCH(QByteArray, list);
    QFETCH(QStringList, reads);
    QFETCH(int, matched);
    QBuffer buffer(&list);
    buffer.open(QIODevice::ReadOnly);
    ChecksumListReader reader(buffer, {});
    TableSource source;
    FileDigests zeros;
    zeros.failure = DigestFailure::None;
    for (const AlgorithmInfo& info : kAlgorithms) {
        zeros.digests[indexOf(info.algorithm)] = QByteArray(static_cast<qsizetype>(info.digestBytes), '\0');
    }
    for (const QByteArray name : {"a", "b", "f"}) {
        source.files.insert(name, zeros);
    }
    RecordingObserver observer;
    VerifyOptions options;
    options.window = 2;
    const VerifyCounts counts = verifyList(reader, source, observer, options);
    QStringList asked;
    for (const VerifyRequest& request : source.asked) {
        asked.append(QStringLiteral("%1:%2")
                         .arg(request.fromStandardInput ? QStringLiteral("-") : QString::fromUtf8(request.nativePath))
                         .arg(request.algorithms.size()));
    }
    QCOMPARE(asked, reads);
    QCOMPARE(counts.matched, quint64(matched));
    QCOMPARE(counts.matched + counts.unreadable + counts.malformed, quint64(observer.events.size()));
}

void TestVerifyLoop::namesResolvedAgainstBaseFolder_data()
{
    QTest::addColumn<QByteArray>("base");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("path");
    QTest::newRow("current directory") << QByteArray() << QByteArray("a b") << QByteArray("a b");
    QTest::newRow("folder") << QByteArray("/srv/dl") << QByteArray("x.iso") << QByteArray("/srv/dl/x.iso");
    QTest::newRow("folder with slash") << QByteArray("/srv/dl/") << QByteArray("x") << QByteArray("/srv/dl/x");
    QTest::newRow("absolute name") << QByteArray("/srv/dl") << QByteArray("/etc/passwd") << QByteArray("/etc/passwd");
    QTest::newRow("parent, kept") << QByteArray("/srv/dl") << QByteArray("../x") << QByteArray("/srv/dl/../x");
    QTest::newRow("odd bytes") << QByteArray("/d") << QByteArray("\xff\n") << QByteArray("/d/\xff\n");
}

void TestVerifyLoop::namesResolvedAgainstBaseFolder()
{
    QFETCH(QByteArray, base);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, path);
    QCOMPARE(resolveEntryName(name, base), path);
}

// Names in messages, as Debian 12's cksum quotes them in a UTF-8 locale (and in the C locale where marked);
// tests/sum/sum_differential.py compares a whole table of code points with md5sum's.
void TestVerifyLoop::quotedNames_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("utf8");
    QTest::addColumn<QByteArray>("quoted");
    const auto row = [](const char* tag, const QByteArray& name, const QByteArray& quoted, bool utf8 = true) {
        QTest::newRow(tag) << name << utf8 << quoted;
    };
    row("plain", "a+,-./_@%]}", "a+,-./_@%]}");
    row("empty", "", "''");
    row("space", "a b", "'a b'");
    row("colon", "a:b", "'a:b'");
    row("equals", "a=b", "'a=b'");
    row("backslash", "a\\b", "'a\\b'");
    row("single quote", "a'b", "\"a'b\"");
    row("single quote and colon", "a'b:c", "\"a'b:c\"");
    row("single quote and backslash", "a'b\\", "'a'\\''b\\'");
    row("single quote and later hash", "a'b#", "'a'\\''b#'");
    row("leading hash", "#a", "'#a'");
    row("later hash", "a#", "a#");
    row("leading tilde", "~a", "'~a'");
    row("lone brace", "{", "'{'");
    row("brace in name", "{a", "{a");
    row("lone closing brace", "}", "'}'");
    row("closing brace in name", "a}", "a}");
    row("line feed", "a\nb", "'a'$'\\n''b'");
    row("leading line feed", "\nb", "''$'\\n''b'");
    row("tab", "a\tb", "'a'$'\\t''b'");
    row("control",
        "a\x01"
        "b",
        "'a'$'\\001''b'");
    row("delete",
        "a\x7f"
        "b",
        "'a'$'\\177''b'");
    row("quote then line feed", "a'\nb", "'a'\\'''$'\\n''b'");
    row("UTF-8", "caf\xc3\xa9", "caf\xc3\xa9");
    row("UTF-8 in C locale",
        "a\xc3\xa9"
        "b",
        "'a'$'\\303\\251''b'", false);
    row("invalid byte",
        "a\xff"
        "b",
        "'a'$'\\377''b'");
    row("C1 control",
        "a\xc2\x80"
        "b",
        "'a'$'\\302\\200''b'");
    row("overlong encoding", "a\xc0\xaf", "'a'$'\\300\\257'");
    // Format characters and private use are shown; line and paragraph separators are not.
    row("soft hyphen", "a\xc2\xad", "a\xc2\xad");
    row("emoji joiner", "a\xe2\x80\x8d", "a\xe2\x80\x8d");
    row("direction override", "a\xe2\x80\xae", "a\xe2\x80\xae");
    row("byte order mark", "a\xef\xbb\xbf", "a\xef\xbb\xbf");
    row("private use", "a\xee\x80\x80", "a\xee\x80\x80");
    row("tag character", "a\xf3\xa0\x80\xa0", "a\xf3\xa0\x80\xa0");
    row("line separator", "a\xe2\x80\xa8", "'a'$'\\342\\200\\250'");
    row("paragraph separator", "a\xe2\x80\xa9", "'a'$'\\342\\200\\251'");
    row("unassigned", "a\xcd\xb8", "'a'$'\\315\\270'");
}

void TestVerifyLoop::quotedNames()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, utf8);
    QFETCH(QByteArray, quoted);
    QCOMPARE(quotedName(name, utf8), quoted);
}

void TestVerifyLoop::judgedOverCandidates_data()
{
    QTest::addColumn<QList<HashAlgorithm>>("candidates");
    QTest::addColumn<QList<HashAlgorithm>>("computed"); // of "content"; others refused
    QTest::addColumn<QByteArray>("expectedOf");         // the expected digest: of "content" by this algorithm's name
    QTest::addColumn<VerifyOutcome>("outcome");
    QTest::addColumn<QString>("algorithm"); // the one matched or shown, empty for none
    using A = HashAlgorithm;
    using O = VerifyOutcome;
    const QList<A> long128{A::Sha512, A::Sha3_512, A::Blake2b};
    QTest::newRow("one candidate, matched")
        << QList{A::Sha256} << QList{A::Sha256} << QByteArray("sha256") << O::Matched << "sha256";
    QTest::newRow("128 digits, BLAKE2b matched")
        << long128 << long128 << QByteArray("blake2b") << O::Matched << "blake2b";
    QTest::newRow("128 digits, SHA3-512 matched")
        << long128 << long128 << QByteArray("sha3-512") << O::Matched << "sha3-512";
    // A mismatch shows the digest preferred for the length.
    QTest::newRow("128 digits of nothing") << long128 << long128 << QByteArray("other") << O::Mismatched << "sha512";
    QTest::newRow("a candidate refused, another matched")
        << long128 << QList{A::Sha512} << QByteArray("sha512") << O::Matched << "sha512";
    // It might have been the refused one: no mismatch is claimed.
    QTest::newRow("a candidate refused, none matched")
        << long128 << QList{A::Sha512, A::Blake2b} << QByteArray("other") << O::Unreadable << "";
    // The read served another line's algorithm, which was refused: this line's own digest still counts.
    QTest::newRow("another line's algorithm refused")
        << QList{A::Md5} << QList{A::Md5} << QByteArray("md5") << O::Matched << "md5";
}

void TestVerifyLoop::judgedOverCandidates()
{
    QFETCH(QList<HashAlgorithm>, candidates);
    QFETCH(QList<HashAlgorithm>, computed);
    QFETCH(QByteArray, expectedOf);
    QFETCH(VerifyOutcome, outcome);
    QFETCH(QString, algorithm);
    const QByteArray content = "content";
    const QHash<HashAlgorithm, QCryptographicHash::Algorithm> qt{
        {HashAlgorithm::Md5, QCryptographicHash::Md5},
        {HashAlgorithm::Sha256, QCryptographicHash::Sha256},
        {HashAlgorithm::Sha512, QCryptographicHash::Sha512},
        {HashAlgorithm::Sha3_512, QCryptographicHash::Sha3_512},
        {HashAlgorithm::Blake2b, QCryptographicHash::Blake2b_512}};
    FileDigests result;
    result.failure = DigestFailure::None;
    AlgorithmSet set;
    for (HashAlgorithm candidate : candidates) {
        set.insert(candidate);
    }
    for (HashAlgorithm read : qt.keys()) {
        if (computed.contains(read)) {
            result.digests[indexOf(read)] = QCryptographicHash::hash(content, qt[read]);
        } else if (set.contains(read) || read == HashAlgorithm::Sha256) {
            // As the engine answers a read with a refused digest: the others kept, the failure named.
            result.refusals[indexOf(read)] = QStringLiteral("refused");
            result.failure = DigestFailure::DigestRefused;
            result.reason = QStringLiteral("refused");
        }
    }
    ChecksumEntry entry;
    entry.name = "f";
    entry.algorithm = candidates.front();
    const std::optional<HashAlgorithm> of = algorithmFromName(expectedOf.toStdString());
    entry.expected =
        of ? QCryptographicHash::hash(content, qt[*of]) : QCryptographicHash::hash("other", qt[entry.algorithm]);
    const VerifyEvent event = judgeEntry(entry, set, result, false);
    QCOMPARE(event.outcome, outcome);
    const auto nameOf = [](HashAlgorithm chosen) {
        const std::string_view name = algorithmInfo(chosen).name;
        return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
    };
    QCOMPARE(event.algorithm ? nameOf(*event.algorithm) : QString(), algorithm);
    if (outcome == VerifyOutcome::Mismatched) {
        QCOMPARE(event.actual, result.digest(*event.algorithm));
    }
    if (outcome == VerifyOutcome::Unreadable) {
        QCOMPARE(event.failure, DigestFailure::DigestRefused);
        QCOMPARE(event.reason, QStringLiteral("refused"));
    }
}

// A window makes each entry's row as soon as its line is read, ahead of the verdicts; one read's bytes count once.
void TestVerifyLoop::entriesReadBeforeTheirVerdicts()
{
    QByteArray list = "MD5 (a) = " + kMd5OfA.toHex() + "\nSHA1 (a) = " + QByteArray(40, '0') +
                      "\nMD5 (b) = " + kMd5OfA.toHex() + "\n";
    QBuffer buffer(&list);
    buffer.open(QIODevice::ReadOnly);
    ChecksumListReader reader(buffer, {});
    TableSource source;
    FileDigests a = readMd5(kMd5OfA);
    a.digests[indexOf(HashAlgorithm::Sha1)] = QByteArray(20, '\1');
    a.bytesRead = 1;
    source.files.insert("/base/a", a);
    RecordingObserver observer;
    VerifyOptions options;
    options.baseFolder = "/base/";
    options.window = 1;
    const VerifyCounts counts = verifyList(reader, source, observer, options);
    // With a window of one, line 3 is read (and a's request sent) before line 1's verdict.
    QCOMPARE(observer.order, (QStringList{"read 1 /base/a", "read 2 /base/a", "read 3 /base/b", "verdict 1",
                                          "verdict 2", "verdict 3"}));
    QCOMPARE(observer.events[0].bytesRead, quint64(1));
    QCOMPARE(observer.events[1].bytesRead, quint64(0)); // the same read
    QCOMPARE(observer.events[1].outcome, VerifyOutcome::Mismatched);
    QCOMPARE(counts.matched, quint64(1));
    QCOMPARE(counts.unreadable, quint64(1));
}

void TestVerifyLoop::stopsWhenAsked()
{
    QByteArray list;
    for (int i = 0; i < 100; ++i) {
        list += kMd5OfA.toHex() + "  f" + QByteArray::number(i) + '\n';
    }
    QBuffer buffer(&list);
    buffer.open(QIODevice::ReadOnly);
    ChecksumListReader reader(buffer, {});
    TableSource source;
    RecordingObserver observer;
    observer.stopAfter = 3;
    VerifyOptions options;
    options.window = 4;
    verifyList(reader, source, observer, options);
    QCOMPARE(observer.events.size(), qsizetype(3));
    QVERIFY(source.asked.size() <= 8); // the rest of the list was never asked for

    // Totalling what the list names stops too, before looking at the next entry's file.
    buffer.seek(0);
    int looks = 0;
    std::vector<qint64> sizes;
    listedBytes(buffer, {}, options, &sizes, [&looks] { return ++looks > 5; });
    QCOMPARE(sizes.size(), std::size_t(5));
}

// Taken as each read ends: an entry whose read waits is answered last, the others in the order their reads end, each
// with its place among the entries; a line not understood as soon as it is read; one read's bytes counted once.
void TestVerifyLoop::verdictsAsKnownPassAReadThatWaits()
{
    // Serves every request but "waits" as soon as asked, and "waits" itself only when nothing else is left.
    class WaitingSource : public TableSource
    {
    public:
        std::optional<std::pair<std::size_t, FileDigests>> takeAny(std::chrono::milliseconds) override
        {
            for (std::size_t i = 0; i < static_cast<std::size_t>(asked.size()); ++i) {
                if (!served.contains(i) && (asked[static_cast<qsizetype>(i)].nativePath != "waits" || idle > 0)) {
                    served.insert(i);
                    const QByteArray path = asked[static_cast<qsizetype>(i)].nativePath;
                    return std::make_pair(i, files.value(path, readMd5({})));
                }
            }
            ++idle; // a wait went by with nothing done
            return std::nullopt;
        }
        QSet<std::size_t> served;
        int idle = 0;
    };
    class Still : public RecordingObserver
    {
    public:
        void onStillWaiting() override { order.append(QStringLiteral("still")); }
    };
    const QByteArray hex = kMd5OfA.toHex();
    FileDigests read = readMd5(kMd5OfA);
    read.bytesRead = 1;
    WaitingSource source;
    for (const char* path : {"waits", "a", "b"}) {
        source.files.insert(path, read);
    }
    QBuffer list;
    list.setData(hex + "  waits\n" + hex + "  a\nnot a line\n" + hex + "  b\nMD5 (b) = " + hex + "\n");
    list.open(QIODevice::ReadOnly);
    ChecksumListReader reader(list, {});
    Still observer;
    const VerifyCounts counts = verifyListAsKnown(reader, source, observer, {});
    QCOMPARE(counts.matched, quint64(4));
    QCOMPARE(counts.malformed, quint64(1));
    QStringList verdicts;
    for (const QString& step : observer.order) {
        if (!step.startsWith("read")) {
            verdicts.append(step);
        }
    }
    QCOMPARE(verdicts, (QStringList{"verdict 3", "verdict 2", "verdict 4", "verdict 5", "still", "verdict 1"}));
    QList<quint64> places;
    quint64 bytes = 0;
    for (const VerifyEvent& event : observer.events) {
        places.append(event.entryIndex);
        bytes += event.bytesRead;
    }
    QCOMPARE(places, (QList<quint64>{0, 1, 2, 3, 0})); // the line not understood has no place among the entries
    QCOMPARE(bytes, quint64(3));                       // b's two lines share one read
}

void TestVerifyLoop::listedBytesAsRead_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<bool>("dashIsStandardInput");
    QTest::addColumn<quint64>("total");
    QTest::addColumn<QList<qint64>>("sizes");
    const QByteArray md5 = "MD5 (%1) = " + QByteArray(32, '0') + "\n";
    const QByteArray sha1 = "SHA1 (%1) = " + QByteArray(40, '0') + "\n";
    const auto of = [](const QByteArray& line, const char* name) { return QByteArray(line).replace("%1", name); };
    // Files: "three" holds 3 bytes, "five" 5, "-" 7; "folder" is a folder.
    QTest::newRow("one read of a run") << of(md5, "three") + of(sha1, "three") << true << quint64(3)
                                       << QList<qint64>{3, 0};
    QTest::newRow("a broken line between")
        << of(md5, "three") + "junk\n" + of(sha1, "three") << true << quint64(3) << QList<qint64>{3, 0};
    QTest::newRow("named apart, counted twice")
        << of(md5, "three") + of(md5, "five") + of(sha1, "three") << true << quint64(11) << QList<qint64>{3, 5, 3};
    QTest::newRow("no regular file") << of(md5, "folder") + of(md5, "absent") << true << quint64(0)
                                     << QList<qint64>{-1, -1};
    QTest::newRow("standard input, not counted")
        << of(md5, "-") + of(md5, "-") << true << quint64(0) << QList<qint64>{-1, -1};
    QTest::newRow("a file named -") << of(md5, "-") + of(sha1, "-") << false << quint64(7) << QList<qint64>{7, 0};
}

void TestVerifyLoop::listedBytesAsRead()
{
    QFETCH(QByteArray, list);
    QFETCH(bool, dashIsStandardInput);
    QFETCH(quint64, total);
    QFETCH(QList<qint64>, sizes);
    QTemporaryDir folder;
    for (const auto& [name, size] : {std::pair{"three", 3}, {"five", 5}, {"-", 7}}) {
        QFile file(folder.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(size, 'x'));
    }
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("folder")));
    QBuffer buffer(&list);
    buffer.open(QIODevice::ReadOnly);
    VerifyOptions options;
    options.baseFolder = QFile::encodeName(folder.path());
    options.dashIsStandardInput = dashIsStandardInput;
    std::vector<qint64> found;
    QCOMPARE(listedBytes(buffer, {}, options, &found), total);
    QCOMPARE(QList<qint64>(found.begin(), found.end()), sizes);
}

QTEST_GUILESS_MAIN(TestVerifyLoop)
#include "TestVerifyLoop.moc"
