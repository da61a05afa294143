#include "CheckReport.h"
#include "CheckRig.h"
#include "MidReadWriter.h"
#include "WatchedReader.h"

#include <fcntl.h>
#include <sys/stat.h>
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
    void listAlgorithmByNameOrLength_data();
    void listAlgorithmByNameOrLength();
    void listNotReadable_data();
    void listNotReadable();
    void oneOpenForLinesOfOneFile_data();
    void oneOpenForLinesOfOneFile();
    void changedWhileRead_data();
    void changedWhileRead();
    void paste_data();
    void paste();
    void pasteAfterTheFileChangedReadsItAgain();
    void laterReadOfAnotherVersionDropsTheEarlierDigests();
    void pasteBeforeTheReadEnds();
    void besideFile_data();
    void besideFile();
    void besideFifoIsPassedOver();
    void missingDataFile();
    void compare_data();
    void compare();
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
    QVERIFY(rig.session->report().contains(QStringLiteral("\n\\caf\\xE9 <b>x&amp;<br>.bin: OK (SHA-256)\n")));
    QVERIFY(rig.session->report().contains(QStringLiteral("\n\\two\\nlines.bin: OK (SHA-256)\n")));
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
        << QStringList{QStringLiteral("Lines 1 and 3 give different SHA-256 or SHA3-256 digests for \u201cf\u201d.")}
        << QList{true, false, true};
    const auto disagree = [](int first, int second) {
        return QStringLiteral("Lines %1 and %2 give different SHA-256 or SHA3-256 digests for \u201cf\u201d.")
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
    const auto spelt = [](int second, const char* name) {
        return QStringLiteral("Lines 1 and %1 give different SHA-256 or SHA3-256 digests for \u201c%2\u201d.")
            .arg(second)
            .arg(QLatin1String(name));
    };
    QTest::newRow("a name through ./ is the same name") << a + "  f\n" + b + "  ./f\n"
                                                        << QStringList{spelt(2, "./f")} << QList{true, true};
    QTest::newRow("f, ./f and sub/../f are one name")
        << a + "  f\n" + b + "  ./f\n" + hexOf("c", H::Sha256) + "  sub/../f\n" + hexOf("d", H::Sha256) + "  sub//f\n"
        << QStringList{spelt(2, "./f"), spelt(3, "sub/../f")} << QList{true, true, true, false};
    QTest::newRow("a folder's .. is not the folder") << a + "  f\n" + b + "  ../f\n" + b + "  sub/f\n"
                                                     << QStringList{} << QList{false, false, false};
    // Each by its number, with the reason where there is more to say than that it is no checksum line.
    QTest::newRow("lines not understood, by number")
        << "garbage\n" + a + "  f\n\n# comment\nSHA256 (f) = abc\n" + QByteArray("x\0y", 3) + "\n" +
               QByteArray(70'000, 'z') + "\n" + a.left(63) + "  f\r\n" + "\xEF\xBB\xBF" + a + "  f\n" + a.left(20) +
               "  f\n"
        << QStringList{QStringLiteral("Line 1 could not be understood."),
                       QStringLiteral("Line 5 could not be understood: its digest is cut short, 3 of 64 hex digits."),
                       QStringLiteral("Line 6 could not be understood."),
                       QStringLiteral("Line 7 could not be understood: it is longer than any checksum line."),
                       QStringLiteral("Line 8 could not be understood: its digest is cut short, 63 of 64 hex digits."),
                       QStringLiteral("Line 9 could not be understood: it starts with a byte-order mark."),
                       QStringLiteral("Line 10 could not be understood: no supported algorithm has digests of 20 hex "
                                      "digits.")}
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

void TestCheckSession::listNotReadable_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("problem");
    QVERIFY(QDir().mkpath(m_files.path("a-folder")));
    const QString fifo = m_files.path("SUMS.fifo");
    QCOMPARE(::mkfifo(native(fifo).constData(), 0600), 0);
    QTest::newRow("missing") << m_files.path("no-such-list") << "Cannot read the list: No such file or directory";
    QTest::newRow("folder") << m_files.path("a-folder") << "Cannot read the list: Is a directory";
    // Opened without waiting for a writer that never comes.
    QTest::newRow("FIFO") << fifo << "Cannot read the list: Not a regular file";
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
    QCOMPARE(rig.state(0), CheckState::Changed);
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
        QCOMPARE(rig.state(0), CheckState::Changed); // read through the same meddling opener: grows again
    }
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
    QTest::newRow("CRC-32 by length") << QByteArray("cbf43926") << P::Accepted << CheckState::Mismatch << "CRC-32" << 1;
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
    QTest::newRow("SRI with a wrong length") << "sha384-" + QCryptographicHash::hash(kContent, H::Sha256).toBase64()
                                             << P::NotUnderstood << CheckState::NotCompared << "" << 1;
    QTest::newRow("garbage") << QByteArray("<b>not a digest</b>") << P::NotUnderstood << CheckState::NotCompared << ""
                             << 1;
    QTest::newRow("odd hex") << sha256.left(63) << P::NotUnderstood << CheckState::NotCompared << "" << 1;
    QTest::newRow("two lines") << sha256 + '\n' + sha256 << P::NotUnderstood << CheckState::NotCompared << "" << 1;
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
    QCOMPARE(rig.model.size(), qsizetype(1));
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
    QCOMPARE(rig.state(1), CheckState::Mismatch);
    QCOMPARE(rig.model.row(1).actual.toHex(), hexOf(later, H::Sha256));
}

// A paste while the first read runs waits for it; its candidates beyond the first read's come from one more read.
void TestCheckSession::pasteBeforeTheReadEnds()
{
    const QString file = m_files.write("gated-early.iso", kContent);
    CheckRig rig;
    rig.session->checkFile(native(file));
    QTRY_COMPARE(rig.gate->arrivals(), 1);
    QCOMPARE(rig.session->paste(QString::fromLatin1(hexOf(kContent, H::Sha3_256))),
             CheckSession::PasteResult::Accepted);
    QCOMPARE(rig.session->paste(QString::fromLatin1(hexOf("no", H::Md5))), CheckSession::PasteResult::Accepted);
    QCOMPARE(rig.model.size(), qsizetype(2));
    QVERIFY(!rig.model.row(0).expected.isEmpty()); // the placeholder gave way to the pasted rows
    rig.gate->open();
    QVERIFY(rig.waitFinished());
    QCOMPARE(rig.state(0), CheckState::Ok);
    QCOMPARE(rig.model.row(0).algorithm, HashAlgorithm::Sha3_256);
    QCOMPARE(rig.state(1), CheckState::Mismatch);
    QCOMPARE(rig.opens->load(), 2);
}

void TestCheckSession::besideFile_data()
{
    QTest::addColumn<QString>("checksumFile");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QList<CheckState>>("states");
    QTest::addColumn<QString>("algorithm"); // of the first row

    const QByteArray sha = hexOf(kContent, H::Sha256);
    const QList<CheckState> ok{CheckState::Ok};
    QTest::newRow(".sha256, bare digest") << "app.iso.sha256" << sha + '\n' << ok << "SHA-256";
    QTest::newRow(".sha256, two-space line") << "app.iso.sha256" << sha + "  app.iso\n" << ok << "SHA-256";
    QTest::newRow(".sha256, wrong digest") << "app.iso.sha256" << hexOf("x", H::Sha256) + " *app.iso\n"
                                           << QList{CheckState::Mismatch} << "SHA-256";
    QTest::newRow(".sha256, made from standard input") << "app.iso.sha256" << sha + "  -\n" << ok << "SHA-256";
    QTest::newRow(".sha256, made in another folder") << "app.iso.sha256" << sha + "  build/app.iso\n"
                                                     << ok << "SHA-256";
    QTest::newRow(".sha256 about another file") << "app.iso.sha256" << sha + "  other.iso\n"
                                                << QList{CheckState::NotCompared} << "";
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
                                                    << QList{CheckState::NotCompared} << "";
    QTest::newRow("two lists disagree") << "SHA256SUMS" << sha + "  app.iso\n" + hexOf("x", H::Sha256) + "  app.iso\n"
                                        << QList{CheckState::Ok, CheckState::Mismatch} << "SHA-256";
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
    if (found) {
        QVERIFY(rig.session->report().contains(checksumFile));
        QVERIFY(rig.model.row(0).note.startsWith("from " + checksumFile + ", line "));
    }
    QCOMPARE(rig.session->problems().size(), states.size() > 1 ? 1 : 0);
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

    const QByteArray big = TempFiles::randomBytes(700'001, 3); // not a whole number of blocks
    QByteArray lastByte = big;
    lastByte[lastByte.size() - 1] = static_cast<char>(~lastByte.back());
    QByteArray firstByte = big;
    firstByte[0] = static_cast<char>(~firstByte.front());
    QByteArray acrossBlocks = big;
    acrossBlocks[262'144] = static_cast<char>(~acrossBlocks[262'144]);
    QTest::newRow("identical") << big << big << true << quint64(0);
    QTest::newRow("differ at 0") << big << firstByte << false << quint64(0);
    QTest::newRow("differ at the last byte") << big << lastByte << false << quint64(700'000);
    QTest::newRow("differ at the first byte of the second block") << big << acrossBlocks << false << quint64(262'144);
    QTest::newRow("second is a prefix") << big << big.left(500'000) << false << quint64(500'000);
    QTest::newRow("first is a prefix at a block's end") << big.left(262'144) << big << false << quint64(262'144);
    QTest::newRow("empty and empty") << QByteArray() << QByteArray() << true << quint64(0);
    QTest::newRow("empty and one byte") << QByteArray() << QByteArray("x") << false << quint64(0);
}

void TestCheckSession::compare()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(bool, identical);
    QFETCH(quint64, difference);
    const QString tag = QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-');
    const QString a = m_files.write("a-" + tag, first);
    const QString b = m_files.write("b-" + tag, second);
    CheckRig rig;
    rig.session->compare(native(a), native(b));
    QVERIFY(rig.waitFinished());
    QVERIFY(rig.session->comparison());
    QCOMPARE(rig.session->comparison()->identical, identical);
    const CheckState state = identical ? CheckState::Identical : CheckState::Different;
    QCOMPARE(rig.state(0), state);
    QCOMPARE(rig.state(1), state);
    if (!identical) {
        QCOMPARE(rig.session->comparison()->firstDifference, difference);
        QVERIFY(rig.session->report().contains(QStringLiteral("first difference is at byte %1.").arg(difference)));
    }
    QCOMPARE(rig.opens->load(), 2); // each file opened once
    QCOMPARE(rig.session->progress().totalBytes, quint64(first.size() + second.size()));
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
    QVERIFY2(rig.session->report().contains("\nabsent.bin: "), qPrintable(rig.session->report()));
    rig.session->cancel();
    const QString report = rig.session->report();
    for (const char* read : {"\none.bin: ", "\nabsent.bin: ", "Line 2 could not be understood."}) {
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
    rig.session->checkList(native(m_files.write("large/MD5SUMS", line.repeated(kLines))));
    QVERIFY(rig.waitFinished(1, 120'000));
    QCOMPARE(rig.model.size(), qsizetype(kLines));
    QCOMPARE(rig.session->summary(), QStringLiteral("200000 of 200000 checked: 200000 OK"));
    QVERIFY2(runs > 1 && runs < kLines / 1000, qPrintable(QString::number(runs)));
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
