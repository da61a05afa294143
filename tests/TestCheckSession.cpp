#include "CheckReport.h"
#include "CheckRig.h"
#include "FileJob.h"
#include "MidReadWriter.h"
#include "WatchedReader.h"

#include <fcntl.h>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

Q_DECLARE_METATYPE(CheckState)
Q_DECLARE_METATYPE(CheckSession::PasteResult)

namespace {

using H = QCryptographicHash;

const QByteArray kContent = "the published release\n";

// "123456789" is the check input of CRC-32 catalogues; its CRC is CBF43926.
const QByteArray kCrcContent = "123456789";

// A list that comes in two parts, the second only once the test opens the gate: a list served slowly, from a pipe
// or a share that stops answering.
class GatedList : public QIODevice
{
public:
    GatedList(QByteArray head, QByteArray tail, std::shared_ptr<Gate> gate)
        : m_head(std::move(head)), m_tail(std::move(tail)), m_gate(std::move(gate))
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 most) override
    {
        if (m_at == m_head.size()) {
            m_gate->wait();
        }
        const QByteArray& part = m_at < m_head.size() ? m_head : m_tail;
        const qint64 from = m_at < m_head.size() ? m_at : m_at - m_head.size();
        const qint64 count = std::min<qint64>(most, part.size() - from);
        std::memcpy(data, part.constData() + from, static_cast<std::size_t>(count));
        m_at += count;
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_head;
    QByteArray m_tail;
    std::shared_ptr<Gate> m_gate;
    qint64 m_at = 0;
};

int threadsOfThisProcess()
{
    return static_cast<int>(
        QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

} // namespace

class TestCheckSession : public QObject
{
    Q_OBJECT

private slots:
    void listEntries();
    void listProblems_data();
    void listProblems();
    void otherBlake2bLengths_data();
    void otherBlake2bLengths();
    void listAlgorithmByNameOrLength_data();
    void listAlgorithmByNameOrLength();
    void listOfSharedLengthsEntryByEntry();
    void listNotReadable_data();
    void listNotReadable();
    void pipedListIsReadAsItComes_data();
    void pipedListIsReadAsItComes();
    void pipeWithoutWriterHoldsNothing_data();
    void pipeWithoutWriterHoldsNothing();
    void standardInputListTakesNamesHere();
    void oneOpenForLinesOfOneFile_data();
    void oneOpenForLinesOfOneFile();
    void changedWhileRead_data();
    void changedWhileRead();
    void folderNamedAlikeInEveryMode_data();
    void folderNamedAlikeInEveryMode();
    void besideEachOfSeveralFiles();
    void openForWriting_data();
    void openForWriting();
    void paste_data();
    void paste();
    void pasteAfterTheFileChangedReadsItAgain();
    void laterReadOfAnotherVersionDropsTheEarlierDigests();
    void pasteBeforeTheReadEnds();
    void ambiguousPasteAnsweredAtOnce_data();
    void ambiguousPasteAnsweredAtOnce();
    void newPasteReplacesTheLast();
    void withdrawnPasteShowsTheDigestsComputed();
    void pasteIsAnsweredFromTheVersionRead_data();
    void pasteIsAnsweredFromTheVersionRead();
    void replacedAsItIsReadIsNeverOk();
    void besideFile_data();
    void besideFile();
    void besideFifoIsPassedOver();
    void missingDataFile();
    void compare_data();
    void compare();
    void compareOneFile_data();
    void compareOneFile();
    void tenThousandSmallFiles();
    void cancelWhileAReadHangs();
    void rowsAppearAsTheListIsRead();
    void aLargeListComesInRunsAndHoldsItsBytesOnce();
    void manyLinesNotUnderstoodAreCountedPastTheFirst();
    void reportOpensWithTheSummary();
    void anEntryWaitingOnItsFileSystemHoldsBackNoOther();
    void supersededSessionNeverReachesTheModel();

private:
    TempFiles m_files;
};

// One list in a folder of its own, checked while the current directory is elsewhere: every state, names outside the
// folder flagged but checked.
void TestCheckSession::listEntries()
{
    QVERIFY(QDir().mkpath(m_files.path("release/sub")));
    QVERIFY(QDir().mkpath(m_files.path("elsewhere")));
    m_files.write("release/good.bin", kContent);
    m_files.write("release/bad.bin", kContent);
    m_files.write("release/locked.bin", kContent);
    m_files.write("release/crc.bin", kCrcContent);
    const QString outside = m_files.write("outside.bin", kContent);
    m_files.write("elsewhere/good.bin", "a decoy in the current directory");
    QVERIFY(QFile::link(m_files.path("release/good.bin"), m_files.path("release/link.bin")));
    QVERIFY(QFile::link(QStringLiteral("../outside.bin"), m_files.path("release/escape.bin")));
    QVERIFY(QFile::link(QStringLiteral(".."), m_files.path("release/up")));
    QCOMPARE(::mkfifo(native(m_files.path("release/fifo")).constData(), 0600), 0);

    // Names byte for byte: a Latin-1 byte, markup, a line feed (escaped in the list), spaces at either end.
    const QByteArray odd[] = {"caf\xe9 <b>x&amp;<br>.bin", "two\nlines.bin", " spaced "};
    for (const QByteArray& name : odd) {
        const int fd = ::open((native(m_files.path("release")) + '/' + name).constData(), O_WRONLY | O_CREAT, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, kContent.constData(), static_cast<std::size_t>(kContent.size())),
                 static_cast<ssize_t>(kContent.size()));
        ::close(fd);
    }
    // Really unreadable for anyone but root, who reads it anyway.
    const QString sealed = m_files.write("release/sealed.bin", kContent);
    QVERIFY(QFile::setPermissions(sealed, QFileDevice::Permissions{}));
    const bool sealedReadable = ::access(native(sealed).constData(), R_OK) == 0;

    const QByteArray sha = hexOf(kContent, H::Sha256);
    struct Entry
    {
        QByteArray line;
        QByteArray name;
        CheckState state;
        bool outside;
    };
    const Entry table[] = {
        {sha + "  good.bin", "good.bin", CheckState::Ok, false},
        {hexOf("other", H::Sha256) + "  bad.bin", "bad.bin", CheckState::Mismatch, false},
        {sha + "  absent.bin", "absent.bin", CheckState::Missing, false},
        {sha + "  locked.bin", "locked.bin", CheckState::Unreadable, false},
        {sha + "  fifo", "fifo", CheckState::Unreadable, false},
        {sha + "  link.bin", "link.bin", CheckState::Ok, false},
        // Links that lead out of the folder, though the names stay in it.
        {sha + "  escape.bin", "escape.bin", CheckState::Ok, true},
        {sha + "  up/outside.bin", "up/outside.bin", CheckState::Ok, true},
        {"MD5 (good.bin) = " + hexOf(kContent, H::Md5), "good.bin", CheckState::Ok, false},
        {"BLAKE2b (good.bin) = " + hexOf(kContent, H::Blake2b_512), "good.bin", CheckState::Ok, false},
        {"crc.bin CBF43926", "crc.bin", CheckState::Ok, false},
        {sha + "  sub/../good.bin", "sub/../good.bin", CheckState::Ok, false}, // climbs back into the folder
        {sha + "  sub/../../outside.bin", "sub/../../outside.bin", CheckState::Ok, true},
        {sha + "  ../outside.bin", "../outside.bin", CheckState::Ok, true},
        {sha + "  " + native(outside), native(outside), CheckState::Ok, true},
        {sha + "  " + odd[0], odd[0], CheckState::Ok, false},
        {"\\" + sha + "  two\\nlines.bin", odd[1], CheckState::Ok, false},
        {sha + "   spaced ", odd[2], CheckState::Ok, false},
        {sha + "  sealed.bin", "sealed.bin", sealedReadable ? CheckState::Ok : CheckState::Unreadable, false},
    };
    QByteArray list;
    for (const Entry& entry : table) {
        list += entry.line + '\n';
    }
    const QString listPath = m_files.write("release/SHA256SUMS", list);
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_files.path("elsewhere")));

    CheckRig rig;
    rig.session->checkList(native(listPath));
    QVERIFY(rig.waitFinished());
    QDir::setCurrent(previous);

    QCOMPARE(rig.model.size(), qsizetype(std::size(table)));
    for (qsizetype i = 0; i < rig.model.size(); ++i) {
        const CheckRow& row = rig.model.row(i);
        const Entry& entry = table[i];
        QCOMPARE(row.name, entry.name);
        QCOMPARE(row.lineNumber, quint64(i + 1));
        QCOMPARE(row.state, entry.state);
        QCOMPARE(row.outsideFolder, entry.outside);
        if (row.state == CheckState::Mismatch) {
            QCOMPARE(row.expected.toHex(), hexOf("other", H::Sha256));
            QCOMPARE(row.actual.toHex(), sha);
        }
    }
    QVERIFY(rig.session->problems().isEmpty());
    QCOMPARE(rig.session->summary(),
             sealedReadable ? QStringLiteral("19 of 19 checked: 15 OK, 1 MISMATCH, 1 missing, 2 unreadable")
                            : QStringLiteral("19 of 19 checked: 14 OK, 1 MISMATCH, 1 missing, 3 unreadable"));
    QCOMPARE(rig.model.data(rig.model.index(15, CheckModel::NameColumn)).toString(),
             QStringLiteral("caf\\xE9 <b>x&amp;<br>.bin"));
    // By their full paths, however the current folder was then.
    const QString release = m_files.path("release");
    QVERIFY(rig.session->report().contains("\n\\" + release + "/caf\\xE9 <b>x&amp;<br>.bin: OK (SHA-256)\n"));
    QVERIFY(rig.session->report().contains("\n\\" + release + "/two\\nlines.bin: OK (SHA-256)\n"));
    // Every byte of the readable files counted, and no more: the MD5 and BLAKE2b lines of good.bin, one after the
    // other, are served by one read and counted once.
    const qint64 readable = 12 * kContent.size() + kCrcContent.size() + kContent.size() /* bad.bin */ +
                            2 * kContent.size() /* locked.bin and sealed.bin: sized, perhaps never read */;
    QCOMPARE(rig.session->progress().totalBytes, quint64(readable));
    QFile::setPermissions(sealed, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    // Qt's removal of the temporary folder cannot name a file whose name is not UTF-8.
    QCOMPARE(::unlink((native(m_files.path("release")) + '/' + odd[0]).constData()), 0);
}

void TestCheckSession::listProblems_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QStringList>("problems");
    QTest::addColumn<QList<bool>>("conflicting");

    const QByteArray a = hexOf("a", H::Sha256);
    const QByteArray b = hexOf("b", H::Sha256);
    QTest::newRow("same name, same digest twice") << a + "  f\n" + a + "  f\n" << QStringList{} << QList{false, false};
    QTest::newRow("same name, digests disagree")
        << a + "  f\n" + a + "  g\n" + b + "  f\n"
        << QStringList{QStringLiteral(
               "Lines 1 and 3 give different SHA-256 or SHA3-256 or BLAKE3 or BLAKE2b-256 digests for \u201cf\u201d.")}
        << QList{true, false, true};
    const auto disagree = [](int first, int second) {
        return QStringLiteral("Lines %1 and %2 give different SHA-256 or SHA3-256 or BLAKE3 or BLAKE2b-256 digests for "
                              "\u201cf\u201d.")
            .arg(first)
            .arg(second);
    };
    // One problem a line, never one a pair: a list of thousands of lines for one name must not flood the window.
    QTest::newRow("four lines disagree about one name")
        << a + "  f\n" + b + "  f\n" + hexOf("c", H::Sha256) + "  f\n" + hexOf("d", H::Sha256) + "  f\n"
        << QStringList{disagree(1, 2), disagree(1, 3), disagree(1, 4)} << QList{true, true, true, true};
    QTest::newRow("same name, different algorithms") << a + "  f\nMD5 (f) = " + hexOf("a", H::Md5) + "\n"
                                                     << QStringList{} << QList{false, false};
    // One name however it is spelt: the steps it takes from the list's folder are what count.
    // The file by its steps from the folder, and the spellings that are not those steps alone.
    const auto spelt = [](int second, const char* name) {
        return QStringLiteral("Lines 1 and %1 give different SHA-256 or SHA3-256 or BLAKE3 or BLAKE2b-256 digests for "
                              "\u201cf\u201d, spelt \u201c%2\u201d on line %1.")
            .arg(second)
            .arg(QLatin1String(name));
    };
    QTest::newRow("a name through ./ is the same name") << a + "  f\n" + b + "  ./f\n"
                                                        << QStringList{spelt(2, "./f")} << QList{true, true};
    QTest::newRow("f, ./f and sub/../f are one name")
        << a + "  f\n" + b + "  ./f\n" + hexOf("c", H::Sha256) + "  sub/../f\n" + hexOf("d", H::Sha256) + "  sub//f\n"
        << QStringList{spelt(2, "./f"), spelt(3, "sub/../f")} << QList{true, true, true, false};
    QTest::newRow("both lines spell it otherwise")
        << a + "  ./sub/f\n" + b + "  sub/../sub/f\n"
        << QStringList{QStringLiteral("Lines 1 and 2 give different SHA-256 or SHA3-256 or BLAKE3 or BLAKE2b-256 "
                                      "digests for \u201csub/f\u201d, spelt \u201c./sub/f\u201d on line 1 and "
                                      "\u201csub/../sub/f\u201d on line 2.")}
        << QList{true, true};
    QTest::newRow("a folder's .. is not the folder") << a + "  f\n" + b + "  ../f\n" + b + "  sub/f\n"
                                                     << QStringList{} << QList{false, false, false};
    // Each by its number, with the reason where there is more to say than that it is no checksum line.
    QTest::newRow("lines not understood, by number")
        << "garbage\n" + a + "  f\n\n# comment\nSHA256 (f) = abc\n" + QByteArray("x\0y", 3) + "\n" +
               QByteArray(70'000, 'z') + "\n" + a.left(63) + "  f\r\n" + "\xEF\xBB\xBF" + a + "  f\n" + a.left(20) +
               "  f\n" + a + "\n"
        << QStringList{QStringLiteral("Line 1 could not be understood."),
                       QStringLiteral("Line 5 could not be understood: its digest is cut short, 3 of 64 hex digits."),
                       QStringLiteral("Line 6 could not be understood."),
                       QStringLiteral("Line 7 could not be understood: it is longer than any checksum line."),
                       QStringLiteral("Line 8 could not be understood: its digest is cut short, 63 of 64 hex digits."),
                       QStringLiteral("Line 9 could not be understood: it starts with a byte-order mark."),
                       QStringLiteral("Line 10 could not be understood: no supported algorithm has digests of 20 hex "
                                      "digits."),
                       QStringLiteral("Line 11 could not be understood: it gives a digest of 64 hex digits but no file "
                                      "name.")}
        << QList{false};
    QTest::newRow("nothing but comments")
        << QByteArray("# nothing\n\n") << QStringList{"The list holds no checksum lines."} << QList<bool>{};
}

void TestCheckSession::listProblems()
{
    QFETCH(QByteArray, list);
    QFETCH(QStringList, problems);
    QFETCH(QList<bool>, conflicting);
    CheckRig rig;
    rig.session->checkList(native(m_files.write("problems.sums", list)));
    QVERIFY(rig.waitFinished());
    QCOMPARE(rig.session->problems(), problems);
    QCOMPARE(rig.model.size(), conflicting.size());
    for (qsizetype i = 0; i < conflicting.size(); ++i) {
        QCOMPARE(rig.model.row(i).conflicting, conflicting[i]);
        QVERIFY(rig.state(i) != CheckState::Ok); // none of the files exists
    }
    for (const QString& problem : problems) {
        QVERIFY2(rig.session->report().contains(problem), qPrintable(rig.session->report()));
    }
}

void TestCheckSession::otherBlake2bLengths_data()
{
    QTest::addColumn<QString>("checksumFile");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("beside"); // checked beside app.iso, else as a list
    QTest::addColumn<QList<CheckState>>("states");
    QTest::addColumn<QStringList>("algorithms"); // each row's, as the table shows it
    const QByteArray b256 = hexOf(kContent, H::Blake2b_256);
    const QByteArray b384 = hexOf(kContent, H::Blake2b_384);
    const QByteArray b160 = hexOf(kContent, H::Blake2b_160);
    const QByteArray md5 = QCryptographicHash::hash(kContent, H::Md5).toHex(); // 32 digits, as BLAKE2b-128's
    QByteArray tampered384 = b384;
    tampered384[10] = tampered384[10] == '0' ? '1' : '0';
    const CheckState ok = CheckState::Ok;
    const CheckState mismatch = CheckState::Mismatch;
    // Its tool's lists of another length: checked at that length, never a verdict of the SHA or MD5 of that length.
    QTest::newRow("B2SUMS, -l 256") << "B2SUMS" << b256 + "  app.iso\n"
                                    << false << QList{ok} << QStringList{"BLAKE2b-256"};
    QTest::newRow("B2SUMS, -l 384, -l 160, and an MD5 as long as -l 128")
        << "B2SUMS" << b384 + "  app.iso\n" + b160 + "  app.iso\n" + md5 + "  app.iso\n"
        << false << QList{ok, ok, mismatch} << QStringList{"BLAKE2b-384", "BLAKE2b-160", "BLAKE2b-128"};
    QTest::newRow("tagged, unnamed list") << "release.sums"
                                          << "BLAKE2b-256 (app.iso) = " + b256 + "\n"
                                          << false << QList{ok} << QStringList{"BLAKE2b-256"};
    QTest::newRow("tagged -l 384 in SHA384SUMS") << "SHA384SUMS"
                                                 << "BLAKE2b-384 (app.iso) = " + b384 + "\n"
                                                 << false << QList{ok} << QStringList{"BLAKE2b-384"};
    // A list whose name gives no algorithm: each untagged line is also tried as BLAKE2b of its length.
    QTest::newRow("checksums.txt of b2sum -l 384, -l 160, -l 256, and an MD5")
        << "checksums.txt" << b384 + "  app.iso\n" + b160 + "  app.iso\n" + b256 + "  app.iso\n" + md5 + "  app.iso\n"
        << false << QList{ok, ok, ok, ok} << QStringList{"BLAKE2b-384", "BLAKE2b-160", "BLAKE2b-256", "MD5"};
    QTest::newRow("checksums.txt of b2sum -l 384, tampered")
        << "checksums.txt" << tampered384 + "  app.iso\n"
        << false << QList{mismatch} << QStringList{"SHA-384 or BLAKE2b-384"};
    // A list named for another algorithm keeps to it.
    QTest::newRow("SHA384SUMS of b2sum -l 384") << "SHA384SUMS" << b384 + "  app.iso\n"
                                                << false << QList{mismatch} << QStringList{"SHA-384"};
    QTest::newRow(".b2 beside, -l 256") << "app.iso.b2" << b256 + "  app.iso\n"
                                        << true << QList{ok} << QStringList{"BLAKE2b-256"};
    QTest::newRow(".b2 beside, bare -l 160") << "app.iso.b2" << b160 + "\n"
                                             << true << QList{ok} << QStringList{"BLAKE2b-160"};
    QTest::newRow("B2SUMS beside, tagged, about this file only")
        << "B2SUMS"
        << "BLAKE2b-256 (other.iso) = " + b256 + "\nBLAKE2b-384 (app.iso) = " + tampered384 + "\n"
        << true << QList{mismatch} << QStringList{"BLAKE2b-384"};
}

// BLAKE2b at another length is checked at that length, in a list and beside a file, all in the one read.
void TestCheckSession::otherBlake2bLengths()
{
    QFETCH(QString, checksumFile);
    QFETCH(QByteArray, content);
    QFETCH(bool, beside);
    QFETCH(QList<CheckState>, states);
    QFETCH(QStringList, algorithms);
    const QString folder = QStringLiteral("b2-%1").arg(QTest::currentDataTag()).replace(u' ', u'-');
    QVERIFY(QDir().mkpath(m_files.path(folder)));
    const QString file = m_files.write(folder + "/app.iso", kContent);
    const QString sums = m_files.write(folder + '/' + checksumFile, content);
    CheckRig rig;
    if (beside) {
        rig.session->checkFile(native(file));
    } else {
        rig.session->checkList(native(sums));
    }
    QVERIFY(rig.waitFinished());
    QCOMPARE(rig.session->problems(), QStringList());
    QCOMPARE(rig.model.size(), states.size());
    for (qsizetype i = 0; i < rig.model.size(); ++i) {
        QCOMPARE(rig.state(i), states[i]);
        QCOMPARE(algorithmText(rig.model.row(i)), algorithms[i]);
    }
    QCOMPARE(rig.session->summary().contains(QStringLiteral("MISMATCH")), states.contains(CheckState::Mismatch));
    QCOMPARE(rig.opens->load(), 1);
}

void TestCheckSession::listAlgorithmByNameOrLength_data()
{
    QTest::addColumn<QString>("listName");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<CheckState>("state");
    QTest::addColumn<QString>("algorithm");

    const QByteArray sha3 = hexOf(kContent, H::Sha3_256) + "  f\n";
    const QByteArray blake = hexOf(kContent, H::Blake2b_512) + "  f\n";
    // An untagged line's length fits several algorithms: all are computed in one read unless the name says.
    QTest::newRow("64 digits, unnamed list") << "release.sums" << sha3 << CheckState::Ok << "SHA3-256";
    QTest::newRow("64 digits, SHA256SUMS") << "SHA256SUMS" << sha3 << CheckState::Mismatch << "SHA-256";
    QTest::newRow("64 digits, .sha256") << "f.sha256" << sha3 << CheckState::Mismatch << "SHA-256";
    QTest::newRow("128 digits, unnamed list") << "release.sums" << blake << CheckState::Ok << "BLAKE2b";
    QTest::newRow("128 digits, B2SUMS") << "B2SUMS" << blake << CheckState::Ok << "BLAKE2b";
    QTest::newRow("128 digits, SHA512SUMS") << "SHA512SUMS" << blake << CheckState::Mismatch << "SHA-512";
    QTest::newRow("128 digits of nothing") << "release.sums" << hexOf("x", H::Sha512) + "  f\n"
                                           << CheckState::Mismatch << "SHA-512 or SHA3-512 or BLAKE2b";
    QTest::newRow("a tag overrides the name") << "SHA256SUMS"
                                              << "SHA3-256 (f) = " + sha3.left(64) + '\n'
                                              << CheckState::Ok << "SHA3-256";
}

void TestCheckSession::listAlgorithmByNameOrLength()
{
    QFETCH(QString, listName);
    QFETCH(QByteArray, line);
    QFETCH(CheckState, state);
    QFETCH(QString, algorithm);
    const QString folder = QStringLiteral("named-%1").arg(QTest::currentDataTag()).replace(u' ', u'-');
    QVERIFY(QDir().mkpath(m_files.path(folder)));
    m_files.write(folder + "/f", kContent);
    CheckRig rig;
    rig.session->checkList(native(m_files.write(folder + '/' + listName, line)));
    QVERIFY(rig.waitFinished());
    QCOMPARE(rig.state(0), state);
    QCOMPARE(algorithmText(rig.model.row(0)), algorithm);
    if (state == CheckState::Mismatch) {
        const H::Algorithm shown = algorithm.contains("256") ? H::Sha256 : H::Sha512;
        QCOMPARE(rig.model.row(0).actual, QCryptographicHash::hash(kContent, shown));
    }
    QCOMPARE(rig.opens->load(), 1);
}

// Untagged lines of every algorithm whose length another shares, in one list named for none: each entry is answered
// by the one its digest matches (a wrong one names every candidate, BLAKE2b of its length among them), every candidate
// computed in the file's one read. The digests are xxhsum's (-H0 to -H3) and rhash's (--crc32c, --crc32, --md5).
void TestCheckSession::listOfSharedLengthsEntryByEntry()
{
    struct Entry
    {
        QByteArray digest;
        QString algorithm;
        CheckState state;
    };
    const std::vector<Entry> table{
        {"808495c9f4504d97e90de1b217764ae6", "MD5", CheckState::Ok},
        {"c6015c51734ff18d67f6013c0ae167f3", "XXH128", CheckState::Ok},
        {"c6015c51734ff18d67f6013c0ae167f4", "MD5 or XXH128 or BLAKE2b-128", CheckState::Mismatch},
        {"9c98e2b800e6c97c", "XXH3", CheckState::Ok},
        {"711666d45db443b5", "XXH64", CheckState::Ok},
        {"711666d45db443b6", "XXH3 or XXH64 or BLAKE2b-64", CheckState::Mismatch},
        {"dfdf889e", "CRC-32", CheckState::Ok},
        {"9c586f5a", "CRC-32C", CheckState::Ok},
        {"f5b1f25d", "XXH32", CheckState::Ok},
        {"f5b1f25e", "CRC-32 or CRC-32C or XXH32 or BLAKE2b-32", CheckState::Mismatch},
    };
    QVERIFY(QDir().mkpath(m_files.path("shared-lengths")));
    QByteArray list;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const QByteArray name = "f" + QByteArray::number(i);
        m_files.write("shared-lengths/" + QString::fromLatin1(name), kContent);
        list += table[i].digest + "  " + name + '\n';
    }
    CheckRig rig;
    rig.session->checkList(native(m_files.write("shared-lengths/mixed.sums", list)));
    QVERIFY(rig.waitFinished());
    QCOMPARE(rig.model.size(), qsizetype(table.size()));
    for (std::size_t i = 0; i < table.size(); ++i) {
        const CheckRow& row = rig.model.row(static_cast<qsizetype>(i));
        QCOMPARE(row.state, table[i].state);
        QCOMPARE(algorithmText(row), table[i].algorithm);
    }
    QCOMPARE(rig.opens->load(), int(table.size())); // one read each, whatever the candidates
}

void TestCheckSession::listNotReadable_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("problem");
    QVERIFY(QDir().mkpath(m_files.path("a-folder")));
    const QString device = QStringLiteral("/dev/null");
    QTest::newRow("missing") << m_files.path("no-such-list") << "Cannot read the list: No such file or directory";
    QTest::newRow("folder") << m_files.path("a-folder") << "Cannot read the list: It is a folder, not a file.";
    // Neither a file nor a pipe: nothing a list is read from.
    QTest::newRow("device") << device << "Cannot read the list: It is a device, not a regular file.";
}

void TestCheckSession::listNotReadable()
{
    QFETCH(QString, list);
    QFETCH(QString, problem);
    CheckRig rig;
    rig.session->checkList(native(list));
    QVERIFY(rig.waitFinished());
    QCOMPARE(rig.session->problems(), QStringList{problem});
    QCOMPARE(rig.model.size(), qsizetype(0));
    QCOMPARE(rig.session->summary(), QStringLiteral("0 of 0 checked; 1 problem"));
}

// A FIFO given as a list, or where a data file would be: its rows come as its writer writes its lines, and its names
// are taken against the FIFO's own folder.
void TestCheckSession::pipedListIsReadAsItComes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("asList");
    QTest::addColumn<QString>("second"); // the second row's verdict: the FIFO's name may say which algorithm
    QTest::newRow("list by name") << "SHA256SUMS" << true << "OK";
    QTest::newRow("a FIFO given as a data file") << "p" << false << "OK";
    // A SHA3-256 digest under a name that promises SHA-256 is a mismatch, as it is for a list file of that name.
    QTest::newRow("the FIFO's name names the algorithm") << "SHA256SUMS" << true << "MISMATCH";
}

void TestCheckSession::pipedListIsReadAsItComes()
{
    QFETCH(QString, name);
    QFETCH(bool, asList);
    QFETCH(QString, second);
    const QString sub = "piped-" + QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-');
    const QString folder = m_files.path(sub);
    QVERIFY(QDir().mkpath(folder));
    m_files.write(sub + "/one.bin", kContent);
    m_files.write(sub + "/two.bin", kContent);
    const QString fifo = folder + '/' + name;
    QCOMPARE(::mkfifo(native(fifo).constData(), 0600), 0);
    const QByteArray sha3 = QCryptographicHash::hash(kContent, H::Sha3_256).toHex();
    const QByteArray secondDigest = second == "MISMATCH" ? sha3 : hexOf(kContent, H::Sha256);
    const auto more = std::make_shared<Gate>();
    const QByteArray fifoPath = native(fifo);
    std::thread writer([fifoPath, more, secondDigest] {
        int fd = -1;
        for (int tries = 0; fd < 0 && tries < 300; ++tries) { // the reader opens it on a worker, a moment later
            fd = ::open(fifoPath.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        if (fd < 0) {
            return;
        }
        const QByteArray first = hexOf(kContent, H::Sha256) + "  one.bin\n";
        const QByteArray last = secondDigest + "  ./two.bin\n";
        (void)!::write(fd, first.constData(), first.size());
        more->wait();
        (void)!::write(fd, last.constData(), last.size());
        ::close(fd);
    });
    struct Ending
    {
        std::shared_ptr<Gate> gate;
        std::thread& thread;
        ~Ending()
        {
            gate->open();
            thread.join();
        }
    } ending{more, writer};
    CheckRig rig;
    asList ? rig.session->checkList(fifoPath) : rig.session->checkFile(fifoPath);
    // The first line is answered while the writer holds back the second.
    QTRY_COMPARE(rig.model.size(), qsizetype(1));
    QTRY_COMPARE(rig.state(0), CheckState::Ok);
    QVERIFY(rig.session->isRunning());
    QVERIFY(!rig.session->waitingForWriter());
    QCOMPARE(rig.session->mode(), CheckSession::Mode::List);
    const QString partial = QStringLiteral("Copied while the list was still being checked");
    QVERIFY(rig.session->report().contains(partial)); // a report taken now says it is not the whole list
    more->open();
    QVERIFY(rig.waitFinished());
    QVERIFY(!rig.session->report().contains(partial));
    QCOMPARE(rig.model.size(), qsizetype(2));
    QCOMPARE(rig.state(1), second == "OK" ? CheckState::Ok : CheckState::Mismatch);
    QCOMPARE(rig.session->problems(), QStringList{});
}

// A FIFO that never gets a writer: starting and cancelling return at once, and the worker waiting for it ends.
void TestCheckSession::pipeWithoutWriterHoldsNothing_data()
{
    QTest::addColumn<bool>("asList");
    QTest::newRow("list") << true;
    QTest::newRow("data file") << false;
}

void TestCheckSession::pipeWithoutWriterHoldsNothing()
{
    QFETCH(bool, asList);
    const QString fifo = m_files.path(asList ? "unwritten.sha256" : "unwritten");
    QCOMPARE(::mkfifo(native(fifo).constData(), 0600), 0);
    CheckRig rig;
    QElapsedTimer held;
    held.start();
    asList ? rig.session->checkList(native(fifo)) : rig.session->checkFile(native(fifo));
    QVERIFY(held.elapsed() < 100);
    QTest::qWait(300); // long enough for a refusal or an empty list to come back
    QVERIFY(rig.session->isRunning());
    QCOMPARE(rig.session->mode(), CheckSession::Mode::List);
    QCOMPARE(rig.model.size(), qsizetype(0));
    QCOMPARE(rig.session->problems(), QStringList{});
    QTRY_VERIFY(rig.session->waitingForWriter()); // said, rather than an empty list's "0 of 0 checked"
    held.restart();
    rig.session->cancel();
    QVERIFY(held.elapsed() < 100);
    QVERIFY(!rig.session->isRunning());
    QTRY_COMPARE_WITH_TIMEOUT(CheckSession::liveWorkers(), 0, 2000);
}

// A list read from standard input by its name takes its names against the current folder, not /dev.
void TestCheckSession::standardInputListTakesNamesHere()
{
    QCOMPARE(folderOfList("/dev/stdin"), QByteArray());
    QCOMPARE(folderOfList("/proc/self/fd/0"), QByteArray());
    QCOMPARE(folderOfList("/dev/fd/3"), QByteArray("/dev/fd/"));
    QCOMPARE(folderOfList("/d/SHA256SUMS"), QByteArray("/d/"));
}

void TestCheckSession::oneOpenForLinesOfOneFile_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<int>("opens");
    QTest::addColumn<QList<CheckState>>("states");
    const QByteArray sha256 = "SHA256 (f) = " + hexOf(kContent, H::Sha256) + '\n';
    const QByteArray sha512 = "SHA512 (f) = " + hexOf(kContent, H::Sha512) + '\n';
    const QByteArray other = "SHA256 (g) = " + hexOf(kContent, H::Sha256) + '\n';
    const QByteArray wrong = "SHA512 (f) = " + hexOf("other", H::Sha512) + '\n';
    using S = CheckState;
    QTest::newRow("SHA-256 and SHA-512 of one file") << sha256 + sha512 << 1 << QList{S::Ok, S::Ok};
    QTest::newRow("one right, one wrong") << sha256 + wrong << 1 << QList{S::Ok, S::Mismatch};
    QTest::newRow("a line not understood between") << sha256 + "junk\n" + sha512 << 1 << QList{S::Ok, S::Ok};
    QTest::newRow("an untagged line of two candidates too") << sha256 + sha512 + hexOf(kContent, H::Sha3_256) + "  f\n"
                                                            << 1 << QList{S::Ok, S::Ok, S::Ok};
    QTest::newRow("named apart, read again") << sha256 + other + sha512 << 3 << QList{S::Ok, S::Ok, S::Ok};
}

// Lines naming one file one after the other are served by one read of it, whatever their algorithms.
void TestCheckSession::oneOpenForLinesOfOneFile()
{
    QFETCH(QByteArray, list);
    QFETCH(int, opens);
    QFETCH(QList<CheckState>, states);
    const QString folder = QStringLiteral("once-%1").arg(QTest::currentDataTag()).replace(u' ', u'-');
    QVERIFY(QDir().mkpath(m_files.path(folder)));
    m_files.write(folder + "/f", kContent);
    m_files.write(folder + "/g", kContent);
    CheckRig rig;
    rig.session->checkList(native(m_files.write(folder + "/once.sums", list)));
    QVERIFY(rig.waitFinished());
    QCOMPARE(rig.opens->load(), opens);
    QCOMPARE(rig.model.size(), states.size());
    for (qsizetype i = 0; i < states.size(); ++i) {
        QCOMPARE(rig.state(i), states[i]);
    }
    // The bar's total is what was read: each file's bytes once per read.
    QCOMPARE(rig.session->progress().totalBytes, quint64(opens * kContent.size()));
}

void TestCheckSession::changedWhileRead_data()
{
    QTest::addColumn<QString>("mode");
    for (const char* mode : {"list", "file", "compare"}) {
        QTest::newRow(mode) << QString::fromLatin1(mode);
    }
}

// The file grows while it is read: never OK, never identical.
void TestCheckSession::changedWhileRead()
{
    QFETCH(QString, mode);
    const QByteArray content = TempFiles::randomBytes(4 << 20, 7);
    const QString file = m_files.write("growing-" + mode, content);
    const QString copy = m_files.write("copy-" + mode, content);
    const bool leased = MidReadWriter::leaseCanBeHeld(file);
    MidReadWriter writer;
    CheckRig rig([&file, &writer](OpenedFile& opened, const QByteArray& path) {
        if (path == native(file)) {
            opened.reader = std::make_unique<MeddlingReader>(std::move(opened.reader), 2, [&file, &writer] {
                writer.start(file, O_WRONLY | O_APPEND, [](int descriptor) {
                    (void)!::write(descriptor, "more", 4);
                    ::close(descriptor);
                });
            });
        }
    });
    if (mode == "list") {
        rig.session->checkList(
            native(m_files.write("growing.sums", hexOf(content, H::Sha256) + "  growing-" + mode.toUtf8() + '\n')));
    } else if (mode == "file") {
        rig.session->checkFile(native(file));
    } else {
        rig.session->compare(native(file), native(copy));
    }
    QVERIFY(rig.waitFinished());
    writer.join();
    // A writer seen by the lease it broke is said as such: that the file is open for writing, not that it changed.
    const CheckState said = leased ? CheckState::BeingWritten : CheckState::Changed;
    QCOMPARE(rig.state(0), said);
    QVERIFY(rig.model.row(0).note.contains(leased ? MidReadWriter::writerReason()
                                                  : WatchedReader::changedWhileReadReason()));
    if (mode == "compare") {
        QCOMPARE(rig.state(1), CheckState::NotCompared);
        QVERIFY(!rig.session->comparison());
    }
    if (mode == "file") {
        // A paste after the failed read reads again; the file has stopped growing, so now it answers.
        QFile grown(file);
        QVERIFY(grown.open(QIODevice::ReadOnly));
        QCOMPARE(rig.session->paste(QString::fromLatin1(hexOf(grown.readAll(), H::Sha256))),
                 CheckSession::PasteResult::Accepted);
        QVERIFY(rig.waitFinished(2));
        QCOMPARE(rig.model.size(), qsizetype(1));
        QCOMPARE(rig.state(0), said); // read through the same meddling opener: grows again
    }
}

void TestCheckSession::folderNamedAlikeInEveryMode_data()
{
    QTest::addColumn<QString>("mode");
    for (const char* mode : {"list entry", "list", "file", "compare", "files"}) {
        QTest::newRow(mode) << QString::fromLatin1(mode);
    }
}

// A folder given where a file was expected is named in the same words whatever the window was doing.
void TestCheckSession::folderNamedAlikeInEveryMode()
{
    QFETCH(QString, mode);
    const QString folder = m_files.path("folder-" + QString(mode).replace(u' ', u'-'));
    QVERIFY(QDir().mkpath(folder));
    const QString file = m_files.write("plain-" + QString(mode).replace(u' ', u'-'), kContent);
    CheckRig rig;
    if (mode == "list entry") {
        rig.session->checkList(native(m_files.write("folder.sums", hexOf(kContent, H::Sha256) + "  " +
                                                                       QFileInfo(folder).fileName().toUtf8() + '\n')));
    } else if (mode == "list") {
        rig.session->checkList(native(folder));
    } else if (mode == "file") {
        rig.session->checkFile(native(folder));
    } else if (mode == "compare") {
        rig.session->compare(native(file), native(folder));
    } else {
        rig.session->checkFiles({native(file), native(folder), native(file)});
    }
    QVERIFY(rig.waitFinished());
    QStringList said = rig.session->problems();
    for (qsizetype row = 0; row < rig.model.size(); ++row) {
        said.append(rig.model.row(row).note);
    }
    const QString words = QStringLiteral("It is a folder, not a file.");
    QVERIFY2(said.join(u'|').contains(words), qPrintable(said.join(u'|')));
    QVERIFY2(!said.join(u'|').contains(QStringLiteral("directory")), qPrintable(said.join(u'|')));
    QCOMPARE(rig.session->fileIsFolder(), mode == "file");
}

// Several files, each against the digests published beside it: a row per digest found, one for a file with none,
// each file read once for all its rows.
void TestCheckSession::besideEachOfSeveralFiles()
{
    QVERIFY(QDir().mkpath(m_files.path("several")));
    const QString a = m_files.write("several/a.bin", kContent);
    const QString b = m_files.write("several/b.bin", "b\n");
    const QString none = m_files.write("several/none.bin", "n\n");
    m_files.write("several/a.bin.sha256", hexOf(kContent, H::Sha256) + "  a.bin\n");
    m_files.write("several/a.bin.md5", hexOf(kContent, H::Md5) + "  a.bin\n");
    m_files.write("several/b.bin.sha1", hexOf("not b", H::Sha1) + "  b.bin\n");
    CheckRig rig;
    rig.session->checkFiles({native(a), native(none), native(b), native(m_files.path("several/gone.bin"))});
    QVERIFY(rig.waitFinished());
    QCOMPARE(rig.session->mode(), CheckSession::Mode::Files);
    QCOMPARE(rig.model.size(), qsizetype(5));
    const QList<CheckState> states{CheckState::Ok, CheckState::Ok, CheckState::NotCompared, CheckState::Mismatch,
                                   CheckState::Missing};
    const QList<QByteArray> names{"a.bin", "a.bin", "none.bin", "b.bin", "gone.bin"};
    for (qsizetype row = 0; row < states.size(); ++row) {
        QCOMPARE(rig.state(row), states[row]);
        QCOMPARE(rig.model.row(row).name, names[row]);
    }
    QCOMPARE(rig.model.row(3).actual, QCryptographicHash::hash("b\n", H::Sha1));
    QVERIFY(rig.model.row(2).note.contains(QStringLiteral("no published digest")));
    QCOMPARE(rig.session->summary(), QStringLiteral("5 of 5 checked: 2 OK, 1 MISMATCH, 1 missing, 1 not compared"));
    QVERIFY(rig.session->foundFiles().contains(native(a + ".sha256")));
    QCOMPARE(rig.session->progress().totalBytes, quint64(kContent.size() + 2));
    QVERIFY(rig.session->report().contains(QStringLiteral("Published digests found in: ") + a + ".md5"));
    // Read once each, a and b; the file with nothing beside it and the missing one only opened.
    QCOMPARE(rig.opens->load(), 4);
}

void TestCheckSession::openForWriting_data()
{
    changedWhileRead_data();
}

// A file another program merely has open for writing is said to be so in every mode, never "changed".
void TestCheckSession::openForWriting()
{
    QFETCH(QString, mode);
    const QString file = m_files.write("written-" + mode, kContent);
    const QString copy = m_files.write("plain-copy-" + mode, kContent);
    CheckRig rig;
    if (mode == "list") {
        rig.session->checkList(
            native(m_files.write("written.sums", hexOf(kContent, H::Sha256) + "  written-" + mode.toUtf8() + '\n')));
    } else if (mode == "file") {
        rig.session->checkFile(native(file));
    } else {
        rig.session->compare(native(file), native(copy));
    }
    QVERIFY(rig.waitFinished());
    QCOMPARE(rig.state(0), CheckState::BeingWritten);
    QCOMPARE(stateText(rig.state(0)), QStringLiteral("open for writing"));
    QVERIFY2(rig.session->summary().contains(QStringLiteral("1 open for writing")), qPrintable(rig.session->summary()));
    QVERIFY(rig.model.row(0).note.contains(QStringLiteral("open for writing")));
}

void TestCheckSession::paste_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<CheckSession::PasteResult>("result");
    QTest::addColumn<CheckState>("state");
    QTest::addColumn<QString>("algorithm");
    QTest::addColumn<int>("opens"); // 1: answered from the first read; 2: read again

    using P = CheckSession::PasteResult;
    const QByteArray sha256 = hexOf(kContent, H::Sha256);
    QByteArray grouped;
    for (qsizetype i = 0; i < sha256.size(); i += 8) {
        grouped += sha256.mid(i, 8).toUpper() + ' ';
    }
    QByteArray colons = hexOf(kContent, H::Sha1);
    for (qsizetype i = colons.size() - 2; i > 0; i -= 2) {
        colons.insert(i, ':');
    }
    QTest::newRow("SHA-256, grouped, upper case") << grouped << P::Accepted << CheckState::Ok << "SHA-256" << 1;
    QTest::newRow("SHA-1 with colons") << colons << P::Accepted << CheckState::Ok << "SHA-1" << 1;
    QTest::newRow("md5: prefix") << "md5:" + hexOf(kContent, H::Md5) << P::Accepted << CheckState::Ok << "MD5" << 1;
    QTest::newRow("CRC-32 by length") << QByteArray("cbf43926") << P::Accepted << CheckState::Mismatch
                                      << "CRC-32 or CRC-32C or XXH32" << 2;
    QTest::newRow("SHA-512 by length") << hexOf(kContent, H::Sha512) << P::Accepted << CheckState::Ok << "SHA-512" << 1;
    QTest::newRow("a whole checksum line")
        << "  " + sha256 + "  release.iso  " << P::Accepted << CheckState::Ok << "SHA-256" << 1;
    QTest::newRow("64 digits of SHA3-256, not SHA-256")
        << hexOf(kContent, H::Sha3_256) << P::Accepted << CheckState::Ok << "SHA3-256" << 2;
    QTest::newRow("128 digits of BLAKE2b")
        << hexOf(kContent, H::Blake2b_512) << P::Accepted << CheckState::Ok << "BLAKE2b" << 2;
    QTest::newRow("128 digits of nothing: all three read")
        << hexOf("other", H::Sha512) << P::Accepted << CheckState::Mismatch << "SHA-512 or SHA3-512 or BLAKE2b" << 2;
    QTest::newRow("SRI sha384") << "sha384-" + QCryptographicHash::hash(kContent, H::Sha384).toBase64() << P::Accepted
                                << CheckState::Ok << "SHA-384" << 2;
    // Cloud forms, base64: CRC-32C is not read first, so it reads again; rhash --crc32c gives its digest.
    const QByteArray md5Base64 = QCryptographicHash::hash(kContent, H::Md5).toBase64();
    QTest::newRow("base64 CRC-32C, read again for it")
        << QByteArray("nFhvWg==") << P::Accepted << CheckState::Ok << "CRC-32C" << 2;
    QTest::newRow("base64 CRC-32, answered at once")
        << QByteArray("39+Ing==") << P::Accepted << CheckState::Ok << "CRC-32" << 1;
    QTest::newRow("gsutil's CRC-32C line")
        << QByteArray("Hash (crc32c):\t\tnFhvWg==") << P::Accepted << CheckState::Ok << "CRC-32C" << 2;
    QTest::newRow("Content-MD5 header") << "Content-MD5: " + md5Base64 << P::Accepted << CheckState::Ok << "MD5" << 1;
    QTest::newRow("S3's SHA-256 header") << "x-amz-checksum-sha256: " +
                                                QCryptographicHash::hash(kContent, H::Sha256).toBase64()
                                         << P::Accepted << CheckState::Ok << "SHA-256" << 1;
    QTest::newRow("wrong base64 CRC: both CRCs ruled out")
        << QByteArray("AAAAAA==") << P::Accepted << CheckState::Mismatch << "CRC-32 or CRC-32C" << 2;
    QTest::newRow("base64 MD5 without its padding")
        << md5Base64.chopped(2) << P::NotUnderstood << CheckState::NotCompared << "SHA-256" << 1;
    // Not understood: the digests computed stay on show, the most common first.
    QTest::newRow("SRI with a wrong length") << "sha384-" + QCryptographicHash::hash(kContent, H::Sha256).toBase64()
                                             << P::NotUnderstood << CheckState::NotCompared << "SHA-256" << 1;
    QTest::newRow("a BLAKE2b-256 line") << "BLAKE2b-256 (release.iso) = " + hexOf(kContent, H::Blake2b_256)
                                        << P::Accepted << CheckState::Ok << "BLAKE2b-256" << 2;
    QTest::newRow("64 digits of BLAKE2b-256")
        << hexOf(kContent, H::Blake2b_256) << P::Accepted << CheckState::Ok << "BLAKE2b-256" << 2;
    QTest::newRow("garbage") << QByteArray("<b>not a digest</b>") << P::NotUnderstood << CheckState::NotCompared
                             << "SHA-256" << 1;
    QTest::newRow("odd hex") << sha256.left(63) << P::NotUnderstood << CheckState::NotCompared << "SHA-256" << 1;
    QTest::newRow("two lines") << sha256 + '\n' + sha256 << P::NotUnderstood << CheckState::NotCompared << "SHA-256"
                               << 1;
}

// Pasted after the first read: the usual digests answer at once, others read the file once more.
void TestCheckSession::paste()
{
    QFETCH(QByteArray, text);
    QFETCH(CheckSession::PasteResult, result);
    QFETCH(CheckState, state);
    QFETCH(QString, algorithm);
    QFETCH(int, opens);
    QVERIFY(QDir().mkpath(m_files.path("paste")));
    const QString file = m_files.write("paste/release.iso", kContent);
    CheckRig rig;
    QCOMPARE(rig.session->paste(QStringLiteral("abcd")), CheckSession::PasteResult::NotUnderstood);
    QCOMPARE(rig.session->paste(QString::fromLatin1(hexOf(kContent, H::Md5))), CheckSession::PasteResult::NoFile);
    rig.session->checkFile(native(file));
    QVERIFY(rig.waitFinished());
    QCOMPARE(rig.state(0), CheckState::NotCompared); // nothing published beside it
    QCOMPARE(rig.opens->load(), 1);

    QCOMPARE(rig.session->paste(QString::fromLatin1(text)), result);
    if (result == CheckSession::PasteResult::Accepted) {
        QVERIFY(rig.waitFinished(2)); // the file looked at again first, and read again when need be
    }
    // An accepted paste replaces the rows that showed each digest computed.
    QCOMPARE(rig.model.size(),
             result == CheckSession::PasteResult::Accepted ? qsizetype(1) : qsizetype(firstReadAlgorithms().size()));
    QCOMPARE(rig.state(0), state);
    QCOMPARE(algorithmText(rig.model.row(0)), algorithm);
    QCOMPARE(rig.opens->load(), opens);
    QVERIFY(!rig.session->isRunning());
}

// A paste after the file changed is never answered from the digests of the version that was read.
void TestCheckSession::pasteAfterTheFileChangedReadsItAgain()
{
    const QString file = m_files.write("changes.iso", kContent);
    CheckRig rig;
    rig.session->checkFile(native(file));
    QVERIFY(rig.waitFinished());
    m_files.write("changes.iso", "a later version of the file");
    QCOMPARE(rig.session->paste(QString::fromLatin1(hexOf(kContent, H::Sha256))), CheckSession::PasteResult::Accepted);
    QVERIFY(rig.waitFinished(2));
    QCOMPARE(rig.state(0), CheckState::Mismatch);
    QCOMPARE(rig.model.row(0).actual.toHex(), hexOf("a later version of the file", H::Sha256));
    QCOMPARE(rig.opens->load(), 2);
}

// The file is replaced between the look that found it unchanged and the read for a digest not yet computed: the
// digests of the first version must not answer a later paste beside those of the second.
void TestCheckSession::laterReadOfAnotherVersionDropsTheEarlierDigests()
{
    const QString file = m_files.write("replaced.iso", kContent);
    const QByteArray later = "a later version, put in place just before the second read";
    CheckRig rig([&](OpenedFile& opened, const QByteArray& path) {
        if (rig.opens->load() == 2) {
            const QString fresh = m_files.write("replaced.iso.new", later);
            QVERIFY(QFile::remove(file) && QFile::rename(fresh, file));
            opened = RegularFile::open(path);
        }
    });
    rig.session->checkFile(native(file));
    QVERIFY(rig.waitFinished());
    QCOMPARE(rig.session->paste(QString::fromLatin1(hexOf(kContent, H::Sha3_512))),
             CheckSession::PasteResult::Accepted);
    QVERIFY(rig.waitFinished(2));
    QCOMPARE(rig.state(0), CheckState::Mismatch);
    // A mismatch of a 128-digit paste shows SHA-512's digest, the usual one of that length: the later version's.
    QCOMPARE(rig.model.row(0).actual.toHex(), hexOf(later, H::Sha512));
    QCOMPARE(rig.session->paste(QString::fromLatin1(hexOf(kContent, H::Sha256))), CheckSession::PasteResult::Accepted);
    QVERIFY(rig.waitFinished(3));
    QCOMPARE(rig.model.size(), qsizetype(1)); // the new paste replaced the last
    QCOMPARE(rig.state(0), CheckState::Mismatch);
    QCOMPARE(rig.model.row(0).actual.toHex(), hexOf(later, H::Sha256));
}

void TestCheckSession::pasteIsAnsweredFromTheVersionRead_data()
{
    QTest::addColumn<bool>("whileLeased");
    QTest::newRow("rewritten in place as the read opens it") << false;
    QTest::newRow("rewritten by a writer the read's lease holds off") << true;
}

// A wrong 64-digit paste reads again for SHA3-256, and the file is rewritten in place (same size, same inode) as
// that read starts: a later paste of the first version's SHA-256 must not be answered from the first read.
void TestCheckSession::pasteIsAnsweredFromTheVersionRead()
{
    QFETCH(bool, whileLeased);
    const QByteArray first = "version-1\n";
    const QByteArray second = "VERSION-2\n";
    const QString file = m_files.write("revised.bin", first);
    MidReadWriter writer;
    CheckRig rig([&](OpenedFile& opened, const QByteArray& path) {
        if (rig.opens->load() != 2) {
            return;
        }
        if (whileLeased) {
            writer.start(file, O_WRONLY | O_TRUNC, [&second](int descriptor) {
                (void)!::write(descriptor, second.constData(), static_cast<std::size_t>(second.size()));
                ::close(descriptor);
            });
            return;
        }
        opened.reader.reset(); // its lease given back, so that the writer need not wait
        m_files.write("revised.bin", second);
        opened = RegularFile::open(path);
    });
    rig.session->checkFile(native(file));
    QVERIFY(rig.waitFinished());
    QCOMPARE(rig.session->paste(QString::fromLatin1(hexOf("not it", H::Sha256))), CheckSession::PasteResult::Accepted);
    QVERIFY(rig.waitFinished(2));
    writer.join();
    QCOMPARE(rig.session->paste(QString::fromLatin1(hexOf(first, H::Sha256))), CheckSession::PasteResult::Accepted);
    QVERIFY(rig.waitFinished(3));
    QCOMPARE(rig.state(rig.model.size() - 1), CheckState::Mismatch);
    QCOMPARE(rig.model.row(rig.model.size() - 1).actual.toHex(), hexOf(second, H::Sha256));
}

// The file is replaced while the first read reads the one it opened: that one matches what is published, but it is
// no longer the file the name gives, so no answer comes from it.
void TestCheckSession::replacedAsItIsReadIsNeverOk()
{
    QVERIFY(QDir().mkpath(m_files.path("replaced")));
    const QString file = m_files.write("replaced/app.iso", kContent);
    m_files.write("replaced/app.iso.sha256", hexOf(kContent, H::Sha256) + "  app.iso\n");
    CheckRig rig([&](OpenedFile& opened, const QByteArray&) {
        if (rig.opens->load() == 1 && opened.reader) {
            const QString fresh = m_files.write("replaced/app.iso.new", "another version altogether");
            QVERIFY(QFile::remove(file) && QFile::rename(fresh, file));
        }
    });
    rig.session->checkFile(native(file));
    QVERIFY(rig.waitFinished());
    QCOMPARE(rig.model.size(), qsizetype(1));
    QCOMPARE(rig.state(0), CheckState::Changed);
    QVERIFY2(rig.model.row(0).note.contains(WatchedReader::changedWhileReadReason()),
             qPrintable(rig.model.row(0).note));
    // Pasted now, the digest of the version at the name is read for and answers.
    QCOMPARE(rig.session->paste(QString::fromLatin1(hexOf("another version altogether", H::Sha256))),
             CheckSession::PasteResult::Accepted);
    QVERIFY(rig.waitFinished(2));
    QCOMPARE(rig.state(1), CheckState::Ok);
}

// A paste while the first read runs waits for it; its candidates beyond the first read's come from one more read.
// A second paste replaces the first before either is answered.
void TestCheckSession::pasteBeforeTheReadEnds()
{
    const QString file = m_files.write("gated-early.iso", kContent);
    CheckRig rig;
    rig.session->checkFile(native(file));
    QTRY_COMPARE(rig.gate->arrivals(), 1);
    QCOMPARE(rig.session->paste(QString::fromLatin1(hexOf("no", H::Md5))), CheckSession::PasteResult::Accepted);
    QCOMPARE(rig.session->paste(QString::fromLatin1(hexOf(kContent, H::Sha3_256))),
             CheckSession::PasteResult::Accepted);
    QCOMPARE(rig.model.size(), qsizetype(1));
    QVERIFY(!rig.model.row(0).expected.isEmpty()); // the placeholder gave way to the pasted row
    rig.gate->open();
    QVERIFY(rig.waitFinished());
    QCOMPARE(rig.state(0), CheckState::Ok);
    QCOMPARE(rig.model.row(0).algorithm, HashAlgorithm::Sha3_256);
    QCOMPARE(rig.opens->load(), 2);
    QCOMPARE(rig.session->summary(), QStringLiteral("1 of 1 checked: 1 OK"));
}

void TestCheckSession::ambiguousPasteAnsweredAtOnce_data()
{
    QTest::addColumn<QByteArray>("pasted");
    QTest::addColumn<QString>("interim");
    QTest::addColumn<CheckState>("state");
    QTest::newRow("64 digits of nothing")
        << hexOf("other", H::Sha256)
        << QStringLiteral("no match with SHA-256; checking SHA3-256, BLAKE3 and BLAKE2b-256\u2026")
        << CheckState::Mismatch;
    QTest::newRow("64 digits of SHA3-256")
        << hexOf(kContent, H::Sha3_256)
        << QStringLiteral("no match with SHA-256; checking SHA3-256, BLAKE3 and BLAKE2b-256\u2026") << CheckState::Ok;
    QTest::newRow("128 digits of nothing")
        << hexOf("other", H::Sha512) << QStringLiteral("no match with SHA-512; checking SHA3-512 and BLAKE2b\u2026")
        << CheckState::Mismatch;
    QTest::newRow("sha384: prefix, not computed yet")
        << "sha384:" + hexOf(kContent, H::Sha384) << QStringLiteral("checking SHA-384\u2026") << CheckState::Ok;
}

// A candidate computed by the first read answers at once; the row says what is still being read, while it is.
void TestCheckSession::ambiguousPasteAnsweredAtOnce()
{
    QFETCH(QByteArray, pasted);
    QFETCH(QString, interim);
    QFETCH(CheckState, state);
    const QString file = m_files.write("ambiguous.iso", kContent);
    CheckRig rig([&rig](OpenedFile& opened, const QByteArray&) {
        if (rig.opens->load() == 2) {
            opened.reader = std::make_unique<GatedReader>(std::move(opened.reader), rig.gate);
        }
    });
    rig.session->checkFile(native(file));
    QVERIFY(rig.waitFinished());
    QCOMPARE(rig.session->paste(QString::fromLatin1(pasted)), CheckSession::PasteResult::Accepted);
    QTRY_COMPARE(rig.gate->arrivals(), 1); // the second read is held
    QCOMPARE(rig.state(0), CheckState::Checking);
    QCOMPARE(noteText(rig.model.row(0)), QStringLiteral("pasted; ") + interim);
    QVERIFY2(rig.session->report().contains(interim), qPrintable(rig.session->report()));
    rig.gate->open();
    QVERIFY(rig.waitFinished(2));
    QCOMPARE(rig.state(0), state);
    QCOMPARE(noteText(rig.model.row(0)), QStringLiteral("pasted"));
}

// A new paste replaces the answer to the last, and a read for the last one's candidates is not waited for.
void TestCheckSession::newPasteReplacesTheLast()
{
    const QString file = m_files.write("retyped.iso", kContent);
    m_files.write("retyped.iso.sha256", hexOf(kContent, H::Sha256) + "  retyped.iso\n");
    CheckRig rig([&rig](OpenedFile& opened, const QByteArray&) {
        if (rig.opens->load() == 3) {
            opened.reader = std::make_unique<GatedReader>(std::move(opened.reader), rig.gate);
        }
    });
    rig.session->checkFile(native(file));
    QVERIFY(rig.waitFinished());
    QCOMPARE(rig.model.size(), qsizetype(1)); // the published SHA-256, the only digest the first read computed
    QCOMPARE(rig.session->paste(QString::fromLatin1(hexOf(kContent, H::Sha1).replace(0, 1, "f"))),
             CheckSession::PasteResult::Accepted);
    QVERIFY(rig.waitFinished(2));
    QCOMPARE(rig.state(1), CheckState::Mismatch);
    // A typo of another length, whose read for SHA3-256 is held ...
    QCOMPARE(rig.session->paste(QString::fromLatin1(hexOf("typo", H::Sha256))), CheckSession::PasteResult::Accepted);
    QTRY_COMPARE(rig.gate->arrivals(), 1);
    // ... and the corrected digest is answered without it.
    QCOMPARE(rig.session->paste(QString::fromLatin1(hexOf(kContent, H::Sha256))), CheckSession::PasteResult::Accepted);
    QTRY_COMPARE(rig.state(1), CheckState::Ok);
    QCOMPARE(rig.model.size(), qsizetype(2));
    QCOMPARE(rig.state(0), CheckState::Ok);
    QCOMPARE(rig.model.row(0).note, QStringLiteral("from retyped.iso.sha256, line 1"));
    QCOMPARE(rig.model.row(1).algorithm, HashAlgorithm::Sha256);
    QCOMPARE(rig.session->summary(), QStringLiteral("2 of 2 checked: 2 OK"));
    QVERIFY(!rig.session->isRunning());
    QCOMPARE(rig.opens->load(), 3);
    // Text that is no digest withdraws the last answer: no OK left standing for a value no longer in the field.
    QCOMPARE(rig.session->paste(QStringLiteral("Hello World")), CheckSession::PasteResult::NotUnderstood);
    QCOMPARE(rig.model.size(), qsizetype(1));
    QCOMPARE(rig.session->summary(), QStringLiteral("1 of 1 checked: 1 OK"));
    QVERIFY(!rig.session->report().contains("pasted"));
}

// With nothing published, withdrawing the only answer shows the digests computed again.
void TestCheckSession::withdrawnPasteShowsTheDigestsComputed()
{
    const QString file = m_files.write("withdrawn.iso", kContent);
    CheckRig rig;
    rig.session->checkFile(native(file));
    QVERIFY(rig.waitFinished());
    const qsizetype computed = rig.model.size();
    QVERIFY(computed > 1);
    QCOMPARE(rig.session->paste(QString::fromLatin1(hexOf(kContent, H::Md5))), CheckSession::PasteResult::Accepted);
    QVERIFY(rig.waitFinished(2));
    QCOMPARE(rig.model.size(), qsizetype(1));
    QCOMPARE(rig.state(0), CheckState::Ok);
    QCOMPARE(rig.session->paste(QStringLiteral("md5:not-a-digest")), CheckSession::PasteResult::NotUnderstood);
    QCOMPARE(rig.model.size(), computed);
    for (qsizetype i = 0; i < computed; ++i) {
        QCOMPARE(rig.state(i), CheckState::NotCompared);
    }
    QCOMPARE(rig.model.row(0).actual.toHex(), hexOf(kContent, H::Sha256));
}

void TestCheckSession::besideFile_data()
{
    QTest::addColumn<QString>("checksumFile");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QList<CheckState>>("states");
    QTest::addColumn<QString>("algorithm"); // of the first row

    const QByteArray sha = hexOf(kContent, H::Sha256);
    const QList<CheckState> ok{CheckState::Ok};
    // Nothing for the file: each digest computed on a row of its own, the most common first.
    const QList<CheckState> none(firstReadAlgorithms().size(), CheckState::NotCompared);
    QTest::newRow(".sha256, bare digest") << "app.iso.sha256" << sha + '\n' << ok << "SHA-256";
    QTest::newRow(".sha256, two-space line") << "app.iso.sha256" << sha + "  app.iso\n" << ok << "SHA-256";
    QTest::newRow(".sha256, wrong digest") << "app.iso.sha256" << hexOf("x", H::Sha256) + " *app.iso\n"
                                           << QList{CheckState::Mismatch} << "SHA-256";
    QTest::newRow(".sha256, made from standard input") << "app.iso.sha256" << sha + "  -\n" << ok << "SHA-256";
    QTest::newRow(".sha256, made in another folder") << "app.iso.sha256" << sha + "  build/app.iso\n"
                                                     << ok << "SHA-256";
    QTest::newRow(".sha256 about another file") << "app.iso.sha256" << sha + "  other.iso\n" << none << "SHA-256";
    QTest::newRow(".sha512") << "app.iso.sha512" << hexOf(kContent, H::Sha512) + "  app.iso\n" << ok << "SHA-512";
    QTest::newRow(".sha1, CRLF") << "app.iso.sha1" << hexOf(kContent, H::Sha1) + "  app.iso\r\n" << ok << "SHA-1";
    QTest::newRow(".md5, tagged") << "app.iso.md5"
                                  << "MD5 (app.iso) = " + hexOf(kContent, H::Md5) + '\n'
                                  << ok << "MD5";
    QTest::newRow(".b2: 128 digits are BLAKE2b") << "app.iso.b2" << hexOf(kContent, H::Blake2b_512) + "  app.iso\n"
                                                 << ok << "BLAKE2b";
    QTest::newRow(".sfv") << "app.iso.sfv" << QByteArray("; made by hand\napp.iso 00000000\n")
                          << QList{CheckState::Mismatch} << "CRC-32";
    QTest::newRow("SHA256SUMS among others")
        << "SHA256SUMS" << hexOf("o", H::Sha256) + "  other.iso\n" + sha + " *./app.iso\n"
        << ok << "SHA-256";
    QTest::newRow("SHA512SUMS") << "SHA512SUMS" << hexOf(kContent, H::Sha512) + "  app.iso\n" << ok << "SHA-512";
    QTest::newRow("SHA1SUMS") << "SHA1SUMS" << hexOf(kContent, H::Sha1) + "  app.iso\n" << ok << "SHA-1";
    QTest::newRow("MD5SUMS") << "MD5SUMS" << hexOf(kContent, H::Md5) + "  app.iso\n" << ok << "MD5";
    QTest::newRow("B2SUMS") << "B2SUMS" << hexOf(kContent, H::Blake2b_512) + "  app.iso\n" << ok << "BLAKE2b";
    QTest::newRow("CHECKSUM, signed and tagged")
        << "CHECKSUM"
        << "-----BEGIN PGP SIGNED MESSAGE-----\nHash: SHA256\n\n# app.iso: 22 bytes\nSHA256 (app.iso) = " + sha +
               "\nSHA256 (app.iso.torrent) = " + hexOf("t", H::Sha256) + "\n-----BEGIN PGP SIGNATURE-----\n"
        << ok << "SHA-256";
    QTest::newRow("a list naming other files only") << "SHA256SUMS" << sha + "  app.iso.old\n" + sha + "  sub/app.iso\n"
                                                    << none << "SHA-256";
    QTest::newRow("two lists disagree") << "SHA256SUMS" << sha + "  app.iso\n" + hexOf("x", H::Sha256) + "  app.iso\n"
                                        << QList{CheckState::Ok, CheckState::Mismatch} << "SHA-256";
    // Names in any case, and the names releases really use.
    QTest::newRow("upper-case suffix") << "app.iso.SHA256" << sha + "  app.iso\n" << ok << "SHA-256";
    QTest::newRow(".MD5") << "app.iso.MD5" << hexOf(kContent, H::Md5) + '\n' << ok << "MD5";
    QTest::newRow("sha256sums") << "sha256sums" << sha + "  app.iso\n" << ok << "SHA-256";
    QTest::newRow("sha256sum.txt") << "sha256sum.txt" << sha + "  app.iso\n" << ok << "SHA-256";
    QTest::newRow("SHA256SUMS.txt") << "SHA256SUMS.txt" << sha + "  app.iso\n" << ok << "SHA-256";
    QTest::newRow("SHA384SUMS") << "SHA384SUMS" << hexOf(kContent, H::Sha384) + "  app.iso\n" << ok << "SHA-384";
    QTest::newRow("SHA224SUMS") << "SHA224SUMS" << hexOf(kContent, H::Sha224) + "  app.iso\n" << ok << "SHA-224";
    QTest::newRow("a release's -CHECKSUM") << "Fedora-Server-39-x86_64-CHECKSUM"
                                           << "SHA256 (app.iso) = " + sha + '\n'
                                           << ok << "SHA-256";
    QTest::newRow("any other *SUMS") << "SHA3-256SUMS" << hexOf(kContent, H::Sha3_256) + "  app.iso\n"
                                     << ok << "SHA3-256";
    QTest::newRow("another file's sidecar, in upper case") << "APP.ISO.sha256" << sha + '\n' << none << "SHA-256";
    // The sidecars named as the tools that wrote them, and a folder's SFV listing it among others.
    QTest::newRow(".sha256sum") << "app.iso.sha256sum" << sha + "  app.iso\n" << ok << "SHA-256";
    QTest::newRow(".sha512sum") << "app.iso.sha512sum" << hexOf(kContent, H::Sha512) + "  app.iso\n" << ok << "SHA-512";
    QTest::newRow(".sha1sum") << "app.iso.sha1sum" << hexOf(kContent, H::Sha1) + "  app.iso\n" << ok << "SHA-1";
    QTest::newRow(".md5sum") << "app.iso.md5sum" << hexOf(kContent, H::Md5) + "  app.iso\n" << ok << "MD5";
    QTest::newRow("a folder's .sfv") << "release.sfv" << QByteArray("other.iso 12345678\napp.iso 00000000\n")
                                     << QList{CheckState::Mismatch} << "CRC-32";
    // Checked as what it is, and the row says what the name promised (see the note below).
    QTest::newRow("an MD5 in a .sha256") << "app.iso.sha256" << hexOf(kContent, H::Md5) + "  app.iso\n" << ok << "MD5";
    QTest::newRow("a bare MD5 in a .sha256") << "app.iso.sha256" << hexOf(kContent, H::Md5) + '\n' << ok << "MD5";
    // A .b2 promises the family, whatever length b2sum -l gave it.
    QTest::newRow("b2sum -l 256 in a .b2") << "app.iso.b2" << hexOf(kContent, H::Blake2b_256) + "  app.iso\n"
                                           << ok << "BLAKE2b-256";
    QTest::newRow("b2sum -l 384 in a .b2") << "app.iso.b2" << hexOf(kContent, H::Blake2b_384) + "  app.iso\n"
                                           << ok << "BLAKE2b-384";
}

void TestCheckSession::besideFile()
{
    QFETCH(QString, checksumFile);
    QFETCH(QByteArray, content);
    QFETCH(QList<CheckState>, states);
    QFETCH(QString, algorithm);
    const QString folder = QStringLiteral("beside-%1").arg(QTest::currentDataTag()).replace(u' ', u'-');
    QVERIFY(QDir().mkpath(m_files.path(folder)));
    const QString file = m_files.write(folder + "/app.iso", kContent);
    m_files.write(folder + '/' + checksumFile, content);
    CheckRig rig;
    rig.session->checkFile(native(file));
    QVERIFY(rig.waitFinished());
    QCOMPARE(rig.model.size(), states.size());
    for (qsizetype i = 0; i < states.size(); ++i) {
        QCOMPARE(rig.state(i), states[i]);
    }
    QCOMPARE(algorithmText(rig.model.row(0)), algorithm);
    const bool found = states.first() != CheckState::NotCompared;
    QCOMPARE(rig.session->foundFiles(),
             found ? QList{native(m_files.path(folder + '/' + checksumFile))} : QList<QByteArray>{});
    const bool promisedOther = found && checksumFile.endsWith(".sha256") && algorithm != "SHA-256";
    if (found) {
        QVERIFY(rig.session->report().contains(checksumFile));
        QVERIFY(rig.model.row(0).note.startsWith("from " + checksumFile + ", line "));
        // A digest of another algorithm than the checksum file's name promised is never OK in silence.
        QCOMPARE(rig.model.row(0).note.contains("its name promised"), promisedOther);
        QCOMPARE(rig.model.row(0).note.endsWith("; its name promised SHA-256, and the digest is not one"),
                 promisedOther);
    }
    // Two published digests that disagree are one problem; so is a sidecar about another file only.
    const bool aboutAnother = content.endsWith("  other.iso\n") && checksumFile.endsWith(".sha256");
    // ... and so is a digest weaker than the name promised.
    QCOMPARE(rig.session->problems().size(), (states.size() > 1 && found) || aboutAnother || promisedOther ? 1 : 0);
    QCOMPARE(rig.opens->load(), 1); // one read, whatever was found
}

void TestCheckSession::missingDataFile()
{
    CheckRig rig;
    rig.session->checkFile(native(m_files.path("gone.iso")));
    QVERIFY(rig.waitFinished());
    QCOMPARE(rig.state(0), CheckState::Missing);
    QCOMPARE(rig.model.row(0).note, QStringLiteral("No such file or directory"));
    // It has arrived since: a paste reads again.
    m_files.write("gone.iso", kContent);
    QCOMPARE(rig.session->paste(QString::fromLatin1(hexOf(kContent, H::Sha1))), CheckSession::PasteResult::Accepted);
    QVERIFY(rig.waitFinished(2));
    QCOMPARE(rig.model.size(), qsizetype(1));
    QCOMPARE(rig.state(0), CheckState::Ok);
}

// A FIFO where a checksum file would be is passed over, never waited on.
void TestCheckSession::besideFifoIsPassedOver()
{
    QVERIFY(QDir().mkpath(m_files.path("beside-fifo")));
    const QString file = m_files.write("beside-fifo/app.iso", kContent);
    QCOMPARE(::mkfifo(native(file + ".sha256").constData(), 0600), 0);
    m_files.write("beside-fifo/app.iso.md5", hexOf(kContent, H::Md5) + "  app.iso\n");
    CheckRig rig;
    rig.session->checkFile(native(file));
    QVERIFY(rig.waitFinished());
    QCOMPARE(rig.model.size(), qsizetype(1));
    QCOMPARE(rig.state(0), CheckState::Ok);
    QCOMPARE(rig.session->foundFiles(), QList{native(file + ".md5")});
}

void TestCheckSession::compare_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<bool>("identical");
    QTest::addColumn<quint64>("difference");
    QTest::addColumn<QString>("said");      // in the report, in the window's words
    QTest::addColumn<QStringList>("notes"); // of the two rows

    const QByteArray big = TempFiles::randomBytes(700'001, 3); // not a whole number of blocks
    QByteArray lastByte = big;
    lastByte[lastByte.size() - 1] = static_cast<char>(~lastByte.back());
    QByteArray firstByte = big;
    firstByte[0] = static_cast<char>(~firstByte.front());
    QByteArray acrossBlocks = big;
    acrossBlocks[262'144] = static_cast<char>(~acrossBlocks[262'144]);
    const QString at =
        QStringLiteral("The files differ; the first difference is at byte %1, counting from 1 as cmp does.");
    const QString note = QStringLiteral("first difference at byte %1, counting from 1");
    const QString shorter = QStringLiteral("The %1 file is shorter by %2; up to its end the files are identical.");
    QTest::newRow("identical") << big << big << true << quint64(0) << QStringLiteral("The files are identical.")
                               << QStringList{"", ""};
    // Bytes counted from 1, as cmp counts them: the first byte is byte 1.
    QTest::newRow("differ at 0") << big << firstByte << false << quint64(0) << at.arg(1)
                                 << QStringList{note.arg(1), note.arg(1)};
    QTest::newRow("differ at the last byte") << big << lastByte << false << quint64(700'000) << at.arg(700'001)
                                             << QStringList{note.arg(700'001), note.arg(700'001)};
    QTest::newRow("differ at the first byte of the second block")
        << big << acrossBlocks << false << quint64(262'144) << at.arg(262'145)
        << QStringList{note.arg(262'145), note.arg(262'145)};
    // One file is the start of the other: which one, and by how much it is shorter.
    QTest::newRow("second is a prefix") << big << big.left(500'000) << false << quint64(500'000)
                                        << shorter.arg("second", "200001 bytes")
                                        << QStringList{"longer by 200001 bytes",
                                                       "shorter by 200001 bytes; the start of the other file"};
    QTest::newRow("first is a prefix at a block's end")
        << big.left(262'144) << big << false << quint64(262'144) << shorter.arg("first", "437857 bytes")
        << QStringList{"shorter by 437857 bytes; the start of the other file", "longer by 437857 bytes"};
    QTest::newRow("empty and empty") << QByteArray() << QByteArray() << true << quint64(0)
                                     << QStringLiteral("The files are identical.") << QStringList{"", ""};
    QTest::newRow("empty and one byte") << QByteArray() << QByteArray("x") << false << quint64(0)
                                        << shorter.arg("first", "1 byte")
                                        << QStringList{"shorter by 1 byte; the start of the other file",
                                                       "longer by 1 byte"};
    QTest::newRow("one byte past a difference") << QByteArray("ab") << QByteArray("axc") << false << quint64(1)
                                                << at.arg(2) << QStringList{note.arg(2), note.arg(2)};
}

void TestCheckSession::compare()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(bool, identical);
    QFETCH(quint64, difference);
    QFETCH(QString, said);
    QFETCH(QStringList, notes);
    const QString tag = QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-');
    const QString a = m_files.write("a-" + tag, first);
    const QString b = m_files.write("b-" + tag, second);
    CheckRig rig;
    rig.session->compare(native(a), native(b));
    QVERIFY(rig.waitFinished());
    QVERIFY(rig.session->comparison());
    QCOMPARE(rig.session->comparison()->identical, identical);
    QVERIFY(!rig.session->comparison()->sameFile);
    const CheckState state = identical ? CheckState::Identical : CheckState::Different;
    QCOMPARE(rig.state(0), state);
    QCOMPARE(rig.state(1), state);
    if (!identical) {
        QCOMPARE(rig.session->comparison()->firstDifference, difference);
    }
    QVERIFY2(rig.session->report().contains(said + '\n'), qPrintable(rig.session->report()));
    QCOMPARE((QStringList{rig.model.row(0).note, rig.model.row(1).note}), notes);
    QCOMPARE(rig.opens->load(), 2); // each file opened once
    QCOMPARE(rig.session->progress().totalBytes, quint64(first.size() + second.size()));
}

void TestCheckSession::compareOneFile_data()
{
    QTest::addColumn<QString>("second"); // how the file is named again
    QTest::addColumn<bool>("sameFile");
    QTest::newRow("itself") << QStringLiteral("itself") << true;
    QTest::newRow("by another path") << QStringLiteral("dotted") << true;
    QTest::newRow("hard link") << QStringLiteral("hard") << true;
    QTest::newRow("symbolic link") << QStringLiteral("symbolic") << true;
    QTest::newRow("link to a link") << QStringLiteral("chain") << true;
    QTest::newRow("a copy") << QStringLiteral("copy") << false;
}

// The same file under another name is said to be the same file, decided on the worker by device and inode.
void TestCheckSession::compareOneFile()
{
    QFETCH(QString, second);
    QFETCH(bool, sameFile);
    const QString folder = m_files.path("one-file-" + second);
    QVERIFY(QDir().mkpath(folder));
    const QString file = m_files.write("one-file-" + second + "/file.bin", kContent);
    const QMap<QString, QString> names{
        {"itself", file},
        {"dotted", folder + "/./file.bin"},
        {"hard", folder + "/hard.bin"},
        {"symbolic", folder + "/symbolic.bin"},
        {"chain", folder + "/chain.bin"},
        {"copy", folder + "/copy.bin"},
    };
    QCOMPARE(::link(native(file).constData(), native(names["hard"]).constData()), 0);
    QCOMPARE(::symlink("file.bin", native(names["symbolic"]).constData()), 0);
    QCOMPARE(::symlink("symbolic.bin", native(names["chain"]).constData()), 0);
    m_files.write("one-file-" + second + "/copy.bin", kContent);
    CheckRig rig;
    rig.session->compare(native(file), native(names[second]));
    QVERIFY(rig.waitFinished());
    QVERIFY(rig.session->comparison());
    QCOMPARE(rig.session->comparison()->sameFile, sameFile);
    QCOMPARE(rig.state(0), CheckState::Identical);
    QCOMPARE(rig.state(1), CheckState::Identical);
    const QString said =
        sameFile ? QStringLiteral("Both names lead to the same file.") : QStringLiteral("The files are identical.");
    QVERIFY2(rig.session->report().contains(said), qPrintable(rig.session->report()));
    QCOMPARE(rig.model.row(1).note, sameFile ? QStringLiteral("the same file") : QString());
    // One file is not read against itself: nothing to read.
    QCOMPARE(rig.session->progress().totalBytes, sameFile ? quint64(0) : quint64(2 * kContent.size()));
}

// Ten thousand small files: no thread per file and a model update per run of answers, not per file.
void TestCheckSession::tenThousandSmallFiles()
{
    constexpr int kFiles = 10'000;
    QVERIFY(QDir().mkpath(m_files.path("many")));
    QByteArray list;
    for (int i = 0; i < kFiles; ++i) {
        const QByteArray content = QByteArray::number(i);
        m_files.write(QStringLiteral("many/%1").arg(i), content);
        list += (i == 4321 ? hexOf("wrong", H::Md5) : hexOf(content, H::Md5)) + "  " + QByteArray::number(i) + '\n';
    }
    CheckRig rig;
    int updates = 0;
    int mostThreads = 0;
    connect(&rig.model, &QAbstractItemModel::dataChanged, this, [&] {
        ++updates;
        mostThreads = std::max(mostThreads, threadsOfThisProcess());
    });
    const int threadsBefore = threadsOfThisProcess();
    rig.session->checkList(native(m_files.write("many/MD5SUMS", list)));
    QVERIFY(rig.waitFinished(1, 120'000));
    QCOMPARE(rig.model.size(), qsizetype(kFiles));
    for (int i = 0; i < kFiles; ++i) {
        QCOMPARE(rig.state(i), i == 4321 ? CheckState::Mismatch : CheckState::Ok);
    }
    QCOMPARE(rig.session->summary(), QStringLiteral("10000 of 10000 checked: 9999 OK, 1 MISMATCH"));
    QVERIFY2(updates < kFiles / 10, qPrintable(QString::number(updates)));
    // The session's worker, the ones reading the list and sizing its files beside it, and the engine's pool of two;
    // nothing per file.
    QVERIFY2(mostThreads <= threadsBefore + 5,
             qPrintable(QStringLiteral("%1 > %2").arg(mostThreads).arg(threadsBefore)));
}

// Cancel answers at once while reads hang (both entries': the one after a read that hangs is answered meanwhile);
// the hung workers end later by themselves.
void TestCheckSession::cancelWhileAReadHangs()
{
    m_files.write("gated-cancel.bin", kContent);
    m_files.write("gated-after.bin", kContent);
    const QByteArray sha = hexOf(kContent, H::Sha256);
    CheckRig rig;
    QSignalSpy progress(rig.session.get(), &CheckSession::progressChanged);
    rig.session->checkList(
        native(m_files.write("cancel.sums", sha + "  gated-cancel.bin\n" + sha + "  gated-after.bin\n")));
    QTRY_COMPARE(rig.gate->arrivals(), 2);
    QTRY_COMPARE(rig.state(0), CheckState::Checking);
    QVERIFY(progress.count() > 0);
    rig.session->cancel();
    QVERIFY(!rig.session->isRunning());
    QCOMPARE(rig.finished->count(), 1);
    QCOMPARE(rig.state(0), CheckState::Cancelled);
    QCOMPARE(rig.state(1), CheckState::Cancelled);
    QVERIFY2(rig.session->summary().startsWith("0 of 2 checked: 2 cancelled"), qPrintable(rig.session->summary()));
    QVERIFY(rig.session->progress().bytesDone < rig.session->progress().totalBytes); // the bar shows what was read
    QCOMPARE(rig.session->progress().secondsLeft, qint64(-1));                       // and no time left to tell
    rig.gate->open();
    QTRY_COMPARE(CheckSession::liveWorkers(), 0);
    QTest::qWait(50); // anything the worker might still post has had its chance
    QCOMPARE(rig.state(0), CheckState::Cancelled);
    QCOMPARE(rig.finished->count(), 1);
}

// A list is shown as it is read: its first lines while the rest has not come, and what was read so far is what a
// cancel and the report cover.
void TestCheckSession::rowsAppearAsTheListIsRead()
{
    QVERIFY(QDir().mkpath(m_files.path("slow")));
    m_files.write("slow/one.bin", kContent);
    const QByteArray sha = hexOf(kContent, H::Sha256);
    const QByteArray head = sha + "  one.bin\n" + "not a checksum line\n" + sha + "  absent.bin\n";
    const QByteArray tail = sha + "  later.bin\n";
    const auto listGate = std::make_shared<Gate>();
    CheckRig rig;
    CheckSessionOptions options;
    options.updateIntervalMs = 20;
    options.openList = [&](const QByteArray&, QString*) -> std::unique_ptr<QIODevice> {
        return std::make_unique<GatedList>(head, tail, listGate);
    };
    rig.session = std::make_unique<CheckSession>(rig.model, options);
    rig.finished = std::make_unique<QSignalSpy>(rig.session.get(), &CheckSession::finished);
    struct Opening
    {
        std::shared_ptr<Gate> gate;
        ~Opening() { gate->open(); } // however the test ends, the list's readers may go on
    } opening{listGate};
    rig.session->checkList(native(m_files.path("slow/SHA256SUMS")));
    QTRY_COMPARE(rig.model.size(), qsizetype(2));
    QTRY_COMPARE(rig.session->problems(), QStringList{"Line 2 could not be understood."});
    // Answered while the rest of the list has not come.
    QTRY_COMPARE(rig.state(0), CheckState::Ok);
    QTRY_COMPARE(rig.state(1), CheckState::Missing);
    QVERIFY(rig.session->isRunning());
    QVERIFY2(rig.session->report().contains("/slow/absent.bin: "), qPrintable(rig.session->report()));
    rig.session->cancel();
    const QString report = rig.session->report();
    for (const char* read : {"/slow/one.bin: ", "/slow/absent.bin: ", "Line 2 could not be understood."}) {
        QVERIFY2(report.contains(QLatin1String(read)), qPrintable(report));
    }
    QVERIFY(!report.contains("later.bin"));
    listGate->open();
    QTRY_COMPARE(CheckSession::liveWorkers(), 0);
}

// A list of many lines naming one file: its rows come in a few runs as it is read, not one by one nor all at the end,
// and the name and digest every line repeats are held once.
void TestCheckSession::aLargeListComesInRunsAndHoldsItsBytesOnce()
{
    constexpr int kLines = 200'000;
    QVERIFY(QDir().mkpath(m_files.path("large")));
    m_files.write("large/one", kContent);
    const QByteArray line = hexOf(kContent, H::Md5) + "  one\n";
    CheckRig rig;
    int runs = 0;
    connect(&rig.model, &QAbstractItemModel::rowsInserted, this, [&runs] { ++runs; });
    const QString list = m_files.write("large/MD5SUMS", line.repeated(kLines));
    QElapsedTimer taken;
    taken.start();
    rig.session->checkList(native(list));
    QVERIFY(rig.waitFinished(1, 120'000));
    QCOMPARE(rig.model.size(), qsizetype(kLines));
    QCOMPARE(rig.session->summary(), QStringLiteral("200000 of 200000 checked: 200000 OK"));
    // At most one run per model update (20 ms in the rig) however slow the machine, and far fewer than the lines.
    const qint64 updates = taken.elapsed() / 20 + 2;
    QVERIFY2(runs > 1 && runs < kLines / 100 && runs <= updates,
             qPrintable(QStringLiteral("%1 runs in %2 ms").arg(runs).arg(taken.elapsed())));
    const CheckRow& first = rig.model.row(0);
    const CheckRow& last = rig.model.row(kLines - 1);
    QCOMPARE(last.name, QByteArray("one"));
    QCOMPARE(first.name.constData(), last.name.constData());
    QCOMPARE(first.expected.constData(), last.expected.constData());
}

// A list of thousands of lines not understood: the first thousand listed, the others counted, and all of them in
// the count of problems.
void TestCheckSession::manyLinesNotUnderstoodAreCountedPastTheFirst()
{
    CheckRig rig;
    rig.session->checkList(native(m_files.write("unread.sums", QByteArray("junk\n").repeated(1500))));
    QVERIFY(rig.waitFinished());
    const QStringList problems = rig.session->problems();
    QCOMPARE(problems.size(), 1001);
    QCOMPARE(problems[999], QStringLiteral("Line 1000 could not be understood."));
    QCOMPARE(problems[1000], QStringLiteral("Lines not understood after the first 1000 are counted, not listed."));
    QCOMPARE(rig.session->summary(), QStringLiteral("0 of 0 checked; 1500 problems"));
    const QString report = rig.session->report();
    QVERIFY2(report.contains("\n    500 more lines could not be understood.\n"), qPrintable(report));
    QVERIFY(report.startsWith(rig.session->summary() + '\n'));
}

// The report starts with what a reader wants first, names what was checked in full, when and by which program, and
// keeps the lines not understood apart from the other problems.
void TestCheckSession::reportOpensWithTheSummary()
{
    QVERIFY(QDir().mkpath(m_files.path("reported")));
    m_files.write("reported/f", kContent);
    const QByteArray a = hexOf(kContent, H::Sha256);
    m_files.write("reported/SHA256SUMS", a + "  f\n" + "junk\n" + hexOf("b", H::Sha256) + "  ./f\n");
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_files.path("reported")));
    QCoreApplication::setApplicationName(QStringLiteral("Keswin Test"));
    QCoreApplication::setApplicationVersion(QStringLiteral("9.8.7"));
    CheckRig rig;
    rig.session->checkList("SHA256SUMS");
    const bool finished = rig.waitFinished();
    QDir::setCurrent(previous);
    const QString report = rig.session->report();
    QCoreApplication::setApplicationVersion(QString());
    QVERIFY(finished);
    const QStringList lines = report.split(QLatin1Char('\n'));
    QCOMPARE(lines.value(0), rig.session->summary());
    QCOMPARE(lines.value(1), QStringLiteral("Checksum list: ") + m_files.path("reported/SHA256SUMS"));
    QVERIFY2(lines.value(2).startsWith(QStringLiteral("Checked: ") + QDate::currentDate().toString(Qt::ISODate)),
             qPrintable(report));
    // ISO 8601 with the offset from UTC, which reads back as the moment it was.
    const QDateTime at = QDateTime::fromString(lines.value(2).mid(9), Qt::ISODate);
    QVERIFY2(
        QRegularExpression(QStringLiteral("^Checked: \\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d(Z|[+-]\\d\\d:\\d\\d)$"))
            .match(lines.value(2))
            .hasMatch(),
        qPrintable(lines.value(2)));
    QVERIFY(std::abs(at.secsTo(QDateTime::currentDateTimeUtc())) < 120);
    // The entries by their full paths, the list's folder joined to the steps of each name.
    QVERIFY2(lines.value(5).startsWith(m_files.path("reported/f") + ": "), qPrintable(report));
    QCOMPARE(lines.value(3), QStringLiteral("By: Keswin Test 9.8.7"));
    const qsizetype unread = lines.indexOf(QStringLiteral("Lines not understood:"));
    const qsizetype others = lines.indexOf(QStringLiteral("Problems:"));
    QVERIFY2(unread > 0 && others > unread, qPrintable(report));
    QCOMPARE(lines.value(unread + 1), QStringLiteral("    Line 2 could not be understood."));
    QVERIFY2(lines.value(others + 1).startsWith(QStringLiteral("    Lines 1 and 3 give different")),
             qPrintable(report));
}

// One entry whose file system does not answer: the entries after it are checked and shown, and its row says what
// it waits for.
void TestCheckSession::anEntryWaitingOnItsFileSystemHoldsBackNoOther()
{
    QVERIFY(QDir().mkpath(m_files.path("stall")));
    m_files.write("stall/one", kContent);
    m_files.write("stall/statstall", kContent);
    m_files.write("stall/three", kContent);
    const QByteArray sha = hexOf(kContent, H::Sha256);
    const auto stat = std::make_shared<Gate>();
    CheckRig rig;
    CheckSessionOptions options;
    options.updateIntervalMs = 20;
    options.batch.workers = 2;
    options.batch.opener = [stat](const QByteArray& path) {
        if (path.endsWith("statstall")) {
            stat->wait(); // as a stat on a share that has stopped answering
        }
        return RegularFile::open(path);
    };
    rig.session = std::make_unique<CheckSession>(rig.model, options);
    rig.finished = std::make_unique<QSignalSpy>(rig.session.get(), &CheckSession::finished);
    rig.session->checkList(
        native(m_files.write("stall/SHA256SUMS", sha + "  one\n" + sha + "  statstall\n" + sha + "  three\n")));
    QTRY_COMPARE(rig.model.size(), qsizetype(3));
    QTRY_COMPARE(rig.state(2), CheckState::Ok);
    QCOMPARE(rig.state(0), CheckState::Ok);
    QTRY_COMPARE(rig.state(1), CheckState::Stalled);
    QVERIFY2(rig.session->summary().startsWith("2 of 3 checked: 2 OK, 1 waiting on the file system"),
             qPrintable(rig.session->summary()));
    QVERIFY(rig.session->isRunning());
    stat->open();
    QVERIFY(rig.waitFinished());
    QCOMPARE(rig.state(1), CheckState::Ok);
}

// A new check supersedes a running one: nothing of the old one reaches the model, even what it finds afterwards.
void TestCheckSession::supersededSessionNeverReachesTheModel()
{
    m_files.write("gated-old.bin", kContent);
    const QString fresh = m_files.write("fresh.bin", kContent);
    CheckRig rig;
    rig.session->checkList(
        native(m_files.write("old.sums", hexOf(kContent, H::Sha256) + "  gated-old.bin\n" + "garbage\n")));
    QTRY_COMPARE(rig.gate->arrivals(), 1);
    rig.session->compare(native(fresh), native(fresh));
    QVERIFY(rig.waitFinished());
    rig.gate->open();
    QTRY_COMPARE(CheckSession::liveWorkers(), 0);
    QTest::qWait(50);
    QCOMPARE(rig.finished->count(), 1);
    QCOMPARE(rig.model.size(), qsizetype(2));
    QCOMPARE(rig.state(0), CheckState::Identical);
    QCOMPARE(rig.model.row(0).name, native(fresh));
    QVERIFY(rig.session->problems().isEmpty()); // the old list's line 2 belongs to the old check
}

QTEST_GUILESS_MAIN(TestCheckSession)
#include "TestCheckSession.moc"
