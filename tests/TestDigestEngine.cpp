#include "DigestEngine.h"
#include "TempFiles.h"

#include <fcntl.h>
#include <QStandardPaths>
#include <QTest>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

Q_DECLARE_METATYPE(DigestKind)

namespace {

constexpr std::size_t kSmallBlock = 4096;

// Serves endless or scripted bytes so reads can be counted, cut short or failed on purpose.
class ScriptedReader final : public FileReader
{
public:
    // Read number failAtRead fails and read number endAtRead finds the end; -1 for never.
    ScriptedReader(qint64 failAtRead, qint64 endAtRead, std::size_t chunk)
        : m_failAtRead(failAtRead), m_endAtRead(endAtRead), m_chunk(chunk)
    {}
    qint64 read(std::span<std::byte> buffer) override
    {
        ++m_reads;
        if (m_reads == m_failAtRead) {
            return -1;
        }
        if (m_reads == m_endAtRead) {
            return 0;
        }
        const std::size_t length = std::min(buffer.size(), m_chunk);
        std::fill_n(buffer.begin(), length, std::byte{0x5a});
        return static_cast<qint64>(length);
    }
    QString errorString() const override { return QStringLiteral("Input/output error"); }
    FileIdentity identity() const override { return {}; }

private:
    qint64 m_reads = 0;
    qint64 m_failAtRead;
    qint64 m_endAtRead;
    std::size_t m_chunk;
};

QString expectedBy(DigestKind kind, const QString& file)
{
    switch (kind) {
    case DigestKind::Md5:
        return firstWordOf("md5sum", {file});
    case DigestKind::Sha1:
        return firstWordOf("sha1sum", {file});
    case DigestKind::Sha256:
        return firstWordOf("sha256sum", {file});
    case DigestKind::Crc32:
        return firstWordOf("rhash", {"--printf=%c", file});
    }
    return {};
}

bool isHexDigest(const QString& text)
{
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]+$"));
    return hex.match(text).hasMatch();
}

} // namespace

class TestDigestEngine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void matchesIndependentTools_data();
    void matchesIndependentTools();
    void sparseFileOverFourGiB();
    void fourSelectorsReadTheFileOnce();
    void changedFileIsReadAgain();
    void refusesWhatIsNotARegularFile_data();
    void refusesWhatIsNotARegularFile();
    void fifoIsRefusedAtOnce();
    void unreadableFileFails();
    void readErrorMidwayFails();
    void shortReadsGiveTheSameDigests();
    void cancelStopsAnEndlessRead();
    void symbolicLinkIsFollowed();

private:
    TempFiles m_files;
};

void TestDigestEngine::initTestCase()
{
    for (const char* tool : {"md5sum", "sha1sum", "sha256sum", "rhash"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            QFAIL(qPrintable(QStringLiteral("%1 is needed as an independent reference").arg(tool)));
        }
    }
}

void TestDigestEngine::matchesIndependentTools_data()
{
    QTest::addColumn<qsizetype>("size");
    const qsizetype block = static_cast<qsizetype>(kSmallBlock);
    for (qsizetype size : std::initializer_list<qsizetype>{0, 1, 55, 56, 63, 64, 65, block - 1, block, block + 1,
                                                           10 * block + 17, 3'000'001}) {
        QTest::addRow("%lld bytes", static_cast<long long>(size)) << size;
    }
}

// Small blocks so the sizes around a block boundary are cheap to reach; each size checks all four selectors.
void TestDigestEngine::matchesIndependentTools()
{
    QFETCH(qsizetype, size);
    const QString file = m_files.write(QStringLiteral("random-%1").arg(size),
                                       TempFiles::randomBytes(size, static_cast<quint32>(size) + 1));
    DigestEngine engine(RegularFile::open, {kSmallBlock, 3});
    for (DigestKind kind : kDigestOrder) {
        const DigestOutcome outcome = engine.DigestFile(kind, file, -1);
        QVERIFY2(outcome.isOk(), qPrintable(outcome.reason));
        QCOMPARE(outcome.digest, expectedBy(kind, file));
    }
    QCOMPARE(engine.readCount(), 1);
}

void TestDigestEngine::sparseFileOverFourGiB()
{
    const qint64 size = (qint64{1} << 32) + 4099;
    const QString file = m_files.writeSparse(QStringLiteral("sparse"), size, QByteArray("tail"));
    DigestEngine engine;
    for (DigestKind kind : kDigestOrder) {
        const DigestOutcome outcome = engine.DigestFile(kind, file, -1);
        QVERIFY2(outcome.isOk(), qPrintable(outcome.reason));
        QCOMPARE(outcome.digest, expectedBy(kind, file));
    }
}

void TestDigestEngine::fourSelectorsReadTheFileOnce()
{
    const QString file = m_files.write(QStringLiteral("once"), TempFiles::randomBytes(100'000, 7));
    int opens = 0;
    DigestEngine engine([&](const QByteArray& path) {
        ++opens;
        return RegularFile::open(path);
    });
    for (DigestKind kind : kDigestOrder) {
        QVERIFY(engine.DigestFile(kind, file, -1).isOk());
    }
    QCOMPARE(opens, 1);
}

void TestDigestEngine::changedFileIsReadAgain()
{
    const QString file = m_files.write(QStringLiteral("changing"), "first");
    DigestEngine engine;
    QCOMPARE(engine.DigestFile(DigestKind::Md5, file).digest, expectedBy(DigestKind::Md5, file));
    // Same size, same second: only the nanoseconds of the modification time tell the versions apart.
    struct stat before
    {
    };
    QCOMPARE(::stat(QFile::encodeName(file).constData(), &before), 0);
    m_files.write(QStringLiteral("changing"), "again");
    struct timespec times[2] = {before.st_atim, before.st_mtim};
    times[1].tv_nsec = (before.st_mtim.tv_nsec + 1) % 1'000'000'000;
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0), 0);
    QCOMPARE(engine.DigestFile(DigestKind::Md5, file).digest, expectedBy(DigestKind::Md5, file));
    QCOMPARE(engine.readCount(), 2);
}

void TestDigestEngine::refusesWhatIsNotARegularFile_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reasonPart");
    QTest::newRow("folder") << QDir::tempPath() << "folder";
    QTest::newRow("missing") << m_files.path("does-not-exist") << "No such file";
    QTest::newRow("device") << "/dev/zero"
                            << "device";
    QTest::newRow("empty path") << ""
                                << "cannot be represented";
    QTest::newRow("embedded nul") << QStringLiteral("/etc/hostname") + QChar(0) + QStringLiteral("x")
                                  << "cannot be represented";
    QTest::newRow("lone surrogate") << QStringLiteral("/tmp/a") + QChar(0xd800) << "cannot be represented";
}

void TestDigestEngine::refusesWhatIsNotARegularFile()
{
    QFETCH(QString, path);
    QFETCH(QString, reasonPart);
    DigestEngine engine;
    const DigestOutcome outcome = engine.DigestFile(DigestKind::Sha256, path);
    QCOMPARE(outcome.status, DigestOutcome::Status::Failed);
    QVERIFY(outcome.digest.isEmpty());
    QVERIFY2(outcome.reason.contains(reasonPart, Qt::CaseInsensitive), qPrintable(outcome.reason));
    QVERIFY(!isHexDigest(outcome.reason));
}

void TestDigestEngine::fifoIsRefusedAtOnce()
{
    const QString fifo = m_files.path(QStringLiteral("pipe"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    DigestEngine engine;
    const DigestOutcome outcome = engine.DigestFile(DigestKind::Md5, fifo);
    QCOMPARE(outcome.status, DigestOutcome::Status::Failed);
    QVERIFY2(outcome.reason.contains(QStringLiteral("FIFO")), qPrintable(outcome.reason));
    QCOMPARE(engine.readCount(), 0);
}

void TestDigestEngine::unreadableFileFails()
{
    if (::geteuid() == 0) {
        QSKIP("root reads every file; permission is covered by the injected read failure");
    }
    const QString file = m_files.write(QStringLiteral("secret"), "secret");
    QVERIFY(QFile::setPermissions(file, QFileDevice::Permissions()));
    const DigestOutcome outcome = DigestEngine().DigestFile(DigestKind::Md5, file);
    QCOMPARE(outcome.status, DigestOutcome::Status::Failed);
    QVERIFY2(outcome.reason.contains(QStringLiteral("Permission denied")), qPrintable(outcome.reason));
}

void TestDigestEngine::readErrorMidwayFails()
{
    const QString file = m_files.write(QStringLiteral("io-error"), "x");
    DigestEngine engine(
        [](const QByteArray&) {
            return OpenedFile{std::make_unique<ScriptedReader>(5, -1, 4096), {}};
        },
        {kSmallBlock, 2});
    const DigestOutcome outcome = engine.DigestFile(DigestKind::Crc32, file);
    QCOMPARE(outcome.status, DigestOutcome::Status::Failed);
    QCOMPARE(outcome.reason, QStringLiteral("Input/output error"));
    // A failed read leaves nothing behind to be served as a digest later.
    QCOMPARE(engine.DigestFile(DigestKind::Md5, file).status, DigestOutcome::Status::Failed);
}

// A file that shrinks while read or a reader that returns less than asked: digests cover exactly the bytes read.
void TestDigestEngine::shortReadsGiveTheSameDigests()
{
    // 28 reads of 443 bytes each, then the end: the digests must be those of exactly 28 * 443 such bytes.
    const QString expected =
        m_files.write(QStringLiteral("short-reads"), QByteArray(28 * 443, static_cast<char>(0x5a)));
    DigestEngine engine(
        [](const QByteArray&) {
            return OpenedFile{std::make_unique<ScriptedReader>(-1, 29, 443), {}};
        },
        {4096, 2});
    for (DigestKind kind : kDigestOrder) {
        QCOMPARE(engine.DigestFile(kind, expected).digest, expectedBy(kind, expected));
    }
}

void TestDigestEngine::cancelStopsAnEndlessRead()
{
    const QString file = m_files.write(QStringLiteral("endless"), "x");
    DigestEngine engine(
        [](const QByteArray&) {
            return OpenedFile{std::make_unique<ScriptedReader>(-1, -1, 1 << 16), {}};
        },
        {1 << 16, 4});
    DigestJob job;
    std::jthread canceller([&] {
        while (job.bytesDone() < (quint64{8} << 20)) {
            std::this_thread::yield();
        }
        job.cancel();
    });
    const DigestOutcome outcome = engine.DigestFile(DigestKind::Sha1, file, -1, &job);
    QCOMPARE(outcome.status, DigestOutcome::Status::Cancelled);
    QVERIFY(outcome.digest.isEmpty());
    QVERIFY(job.bytesDone() >= (quint64{8} << 20));
}

void TestDigestEngine::symbolicLinkIsFollowed()
{
    const QString target = m_files.write(QStringLiteral("target"), "linked content");
    const QString link = m_files.path(QStringLiteral("link"));
    QVERIFY(QFile::link(target, link));
    DigestEngine engine;
    QCOMPARE(engine.DigestFile(DigestKind::Sha1, link).digest, expectedBy(DigestKind::Sha1, target));
}

QTEST_GUILESS_MAIN(TestDigestEngine)
#include "TestDigestEngine.moc"
