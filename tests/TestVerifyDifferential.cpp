// The same lists through keswin-sum -c (the real program) and the check window's session: one verify loop behind
// both, so every entry must get the same verdict, and each verdict is also the one known to be right.
#include "CheckSession.h"
#include "NameEscape.h"
#include "TempFiles.h"

#include <fcntl.h>
#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using H = QCryptographicHash;

const QByteArray kContent = "the published release\n";

QByteArray hexOf(const QByteArray& data, H::Algorithm algorithm)
{
    return QCryptographicHash::hash(data, algorithm).toHex();
}

// A name as both programs print it: escaped, after a backslash, only when it holds a line feed.
QByteArray printedName(const QByteArray& name)
{
    return name.contains('\n') ? "\\" + escapeName(name) : name;
}

// What each program said: per entry its name and verdict in the list's order, and the lines not understood.
struct Verdicts
{
    QList<QByteArray> names;
    QStringList verdicts; // "OK", "FAILED" or "FAILED open or read", as keswin-sum words them
    QList<quint64> malformed;
};

Verdicts sumVerdicts(const QString& folder, const QString& listName, const QStringList& sumArguments)
{
    QProcess sum;
    sum.setWorkingDirectory(folder);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    sum.setProcessEnvironment(environment);
    sum.start(QStringLiteral(KESWIN_SUM_PROGRAM), QStringList{"-c", "--warn"} + sumArguments + QStringList{listName});
    Verdicts found;
    if (!sum.waitForFinished(30'000)) {
        return found;
    }
    const QList<QByteArray> lines = sum.readAllStandardOutput().split('\n');
    for (const QByteArray& line : lines) {
        for (const char* verdict : {": OK", ": FAILED open or read", ": FAILED"}) {
            if (line.endsWith(verdict)) {
                found.names.append(line.chopped(static_cast<qsizetype>(qstrlen(verdict))));
                found.verdicts.append(QString::fromLatin1(verdict + 2));
                break;
            }
        }
    }
    static const QRegularExpression malformed(
        QStringLiteral(": (\\d+): (improperly formatted|unsupported digest length)"));
    auto matches = malformed.globalMatch(QString::fromUtf8(sum.readAllStandardError()));
    while (matches.hasNext()) {
        found.malformed.append(matches.next().captured(1).toULongLong());
    }
    return found;
}

QString verdictOf(CheckState state)
{
    switch (state) {
    case CheckState::Ok:
        return QStringLiteral("OK");
    case CheckState::Mismatch:
        return QStringLiteral("FAILED");
    case CheckState::Missing:
    case CheckState::Unreadable:
    case CheckState::Changed:
    case CheckState::BeingWritten:
        return QStringLiteral("FAILED open or read");
    default:
        return QStringLiteral("unanswered: ") + stateText(state);
    }
}

Verdicts windowVerdicts(const QByteArray& listPath)
{
    CheckModel model;
    CheckSessionOptions options;
    options.updateIntervalMs = 10;
    CheckSession session(model, options);
    QSignalSpy finished(&session, &CheckSession::finished);
    session.checkList(listPath);
    Verdicts found;
    if (!QTest::qWaitFor([&] { return finished.count() > 0; }, 30'000)) {
        return found;
    }
    for (qsizetype i = 0; i < model.size(); ++i) {
        found.names.append(printedName(model.row(i).name));
        found.verdicts.append(verdictOf(model.row(i).state));
    }
    static const QRegularExpression malformed(QStringLiteral("^Line (\\d+) could not be understood(: .*)?\\.$"));
    for (const QString& problem : session.problems()) {
        const QRegularExpressionMatch match = malformed.match(problem);
        if (match.hasMatch()) {
            found.malformed.append(match.captured(1).toULongLong());
        }
    }
    return found;
}

} // namespace

class TestVerifyDifferential : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sameVerdicts_data();
    void sameVerdicts();
    void cleanupTestCase();

private:
    QByteArray data(const QByteArray& name) const { return QFile::encodeName(m_files.path("data")) + '/' + name; }
    void writeRaw(const QByteArray& name, const QByteArray& content) const;

    TempFiles m_files;
};

void TestVerifyDifferential::writeRaw(const QByteArray& name, const QByteArray& content) const
{
    const int fd = ::open(data(name).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, content.constData(), static_cast<std::size_t>(content.size())),
             static_cast<ssize_t>(content.size()));
    ::close(fd);
}

// One folder of files for every list: the lists are written beside them, so keswin-sum run there and the window
// (which takes names against the list's folder) look at the same files.
void TestVerifyDifferential::initTestCase()
{
    QVERIFY(QDir().mkpath(m_files.path("data/folder.bin")));
    writeRaw("good.bin", kContent);
    writeRaw("bad.bin", "not what was published\n");
    writeRaw("crc.bin", "123456789");
    writeRaw("plain", kContent);
    writeRaw("with space.bin", kContent);
    writeRaw("back\\slash.bin", kContent);
    writeRaw("new\nline.bin", kContent);
    writeRaw("caf\xe9.bin", kContent);
    QCOMPARE(::symlink("nowhere", data("dangling").constData()), 0);
}

void TestVerifyDifferential::cleanupTestCase()
{
    // Qt's removal of the temporary folder cannot name a file whose name is not UTF-8.
    ::unlink(data("caf\xe9.bin").constData());
}

void TestVerifyDifferential::sameVerdicts_data()
{
    QTest::addColumn<QString>("listName");
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QStringList>("sumArguments");
    QTest::addColumn<QStringList>("verdicts");
    QTest::addColumn<QList<quint64>>("malformed");

    const QByteArray sha = hexOf(kContent, H::Sha256);
    const QByteArray sha512 = hexOf(kContent, H::Sha512);
    const QByteArray blake = hexOf(kContent, H::Blake2b_512);
    const QString ok = QStringLiteral("OK");
    const QString failed = QStringLiteral("FAILED");
    const QString unreadable = QStringLiteral("FAILED open or read");
    const auto row = [](const char* tag, const char* listName, const QByteArray& list, const QStringList& verdicts,
                        const QList<quint64>& malformed = {}, const QStringList& sumArguments = {}) {
        QTest::newRow(tag) << QString::fromLatin1(listName) << list << sumArguments << verdicts << malformed;
    };

    row("ok, mismatch, missing", "basic.sums", sha + "  good.bin\n" + sha + "  bad.bin\n" + sha + "  absent.bin\n",
        {ok, failed, unreadable});
    // Root reads a file without permission, so these are refused for everyone: a folder, a name through a file,
    // a link to nothing.
    row("unreadable", "unreadable.sums", sha + "  folder.bin\n" + sha + "  plain/inside\n" + sha + "  dangling\n",
        {unreadable, unreadable, unreadable});
    row("lines not understood", "broken.sums",
        "garbage\n" + sha + "  good.bin\nSHA256 (good.bin) = abc\n\n" + sha.left(63) + "  good.bin\n" + sha +
            "  bad.bin\n",
        {ok, failed}, {1, 3, 5});
    row("mixed forms", "mixed.sums",
        "SHA256 (good.bin) = " + sha + "\n" + hexOf(kContent, H::Md5) + "  bad.bin\ncrc.bin CBF43926\n" +
            "BLAKE2b (good.bin) = " + blake + "\ncrc.bin 00000000\n",
        {ok, failed, ok, ok, failed});
    row("128 digits of SHA-512, unnamed list", "long.sums", sha512 + "  good.bin\n" + sha512 + "  bad.bin\n",
        {ok, failed});
    // A length several algorithms share: each is tried in the one read, by both.
    row("128 digits of BLAKE2b, unnamed list", "blake.sums", blake + "  good.bin\n" + blake + "  bad.bin\n",
        {ok, failed});
    row("64 digits of SHA3-256, unnamed list", "sha3.sums", hexOf(kContent, H::Sha3_256) + "  good.bin\n", {ok});
    // A length no algorithm here has (BLAKE2b of 96 bits) is not understood by either, never a mismatch.
    row("24 digits, unsupported", "b96.sums", blake.left(24) + "  good.bin\n" + sha + "  good.bin\n", {ok}, {1});
    row("128 digits, B2SUMS and -a blake2b", "B2SUMS", blake + "  good.bin\n" + blake + "  bad.bin\n", {ok, failed}, {},
        {"-a", "blake2b"});
    row("128 digits, SHA512SUMS and -a sha512", "SHA512SUMS", sha512 + "  good.bin\n" + blake + "  good.bin\n",
        {ok, failed}, {}, {"-a", "sha512"});
    row("two algorithms for one file", "two.sums",
        "SHA256 (good.bin) = " + sha + "\nSHA512 (good.bin) = " + sha512 + "\nSHA256 (bad.bin) = " + sha +
            "\nSHA512 (bad.bin) = " + sha512 + "\n",
        {ok, ok, failed, failed});
    row("one file named apart", "apart.sums",
        "SHA256 (good.bin) = " + sha + "\nSHA256 (bad.bin) = " + sha + "\nSHA512 (good.bin) = " + sha512 + "\n",
        {ok, failed, ok});
    row("odd names", "odd.sums",
        sha + "  with space.bin\n" + sha + "  back\\slash.bin\n\\" + sha + "  back\\\\slash.bin\n\\" + sha +
            "  new\\nline.bin\n" + sha + "  caf\xe9.bin\nSHA256 (new\\nline.bin) = " + sha + "\n",
        {ok, ok, ok, ok, ok, unreadable});
}

void TestVerifyDifferential::sameVerdicts()
{
    QFETCH(QString, listName);
    QFETCH(QByteArray, list);
    QFETCH(QStringList, sumArguments);
    QFETCH(QStringList, verdicts);
    QFETCH(QList<quint64>, malformed);
    const QString listPath = m_files.write(QStringLiteral("data/") + listName, list);

    const Verdicts sum = sumVerdicts(m_files.path("data"), listName, sumArguments);
    const Verdicts window = windowVerdicts(QFile::encodeName(listPath));
    QCOMPARE(window.names, sum.names);
    QCOMPARE(window.verdicts, sum.verdicts);
    QCOMPARE(window.malformed, sum.malformed);
    QCOMPARE(sum.verdicts, verdicts);
    QCOMPARE(sum.malformed, malformed);
}

QTEST_GUILESS_MAIN(TestVerifyDifferential)
#include "TestVerifyDifferential.moc"
