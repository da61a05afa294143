#include "DigestEngine.h"
#include "GatedReader.h"
#include "LanePlan.h"
#include "MidReadWriter.h"
#include "TempFiles.h"

#include <fcntl.h>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

Q_DECLARE_METATYPE(DigestKind)
Q_DECLARE_METATYPE(HashAlgorithm)
Q_DECLARE_METATYPE(LanePlan)
Q_DECLARE_METATYPE(DigestCosts)
Q_DECLARE_METATYPE(DigestFailure)

namespace {

constexpr std::size_t kSmallBlock = 4096;

// Serves endless or scripted bytes so reads can be counted, cut short or failed on purpose. Each buffer is filled
// from pieces of chunk bytes, as a file's reader fills it through the system's short reads.
class ScriptedReader final : public FileReader
{
public:
    // Piece number failAtRead fails and piece number endAtRead finds the end; -1 for never.
    ScriptedReader(qint64 failAtRead, qint64 endAtRead, std::size_t chunk)
        : m_failAtRead(failAtRead), m_endAtRead(endAtRead), m_chunk(chunk)
    {}
    qint64 read(std::span<std::byte> buffer) override
    {
        std::size_t filled = 0;
        while (filled < buffer.size() && !m_ended) {
            if (m_intoPiece == 0) {
                ++m_reads;
                if (m_reads == m_failAtRead) {
                    return -1;
                }
                m_ended = m_reads == m_endAtRead;
                if (m_ended) {
                    break;
                }
            }
            const std::size_t length = std::min(buffer.size() - filled, m_chunk - m_intoPiece);
            std::fill_n(buffer.begin() + static_cast<std::ptrdiff_t>(filled), length, std::byte{0x5a});
            filled += length;
            m_intoPiece = (m_intoPiece + length) % m_chunk;
        }
        return static_cast<qint64>(filled);
    }
    QString errorString() const override { return QStringLiteral("Input/output error"); }
    FileIdentity identity() const override { return {}; }
    std::optional<FileIdentity> currentIdentity() override { return FileIdentity{}; }

private:
    qint64 m_reads = 0;
    std::size_t m_intoPiece = 0;
    bool m_ended = false;
    qint64 m_failAtRead;
    qint64 m_endAtRead;
    std::size_t m_chunk;
};

// More than 4 GiB of zeros ending in "tail", made in memory as they are read: the sizes and counters past 32 bits
// without a file on disk. Its identity holds its size and never changes.
class ZerosReader final : public FileReader
{
public:
    explicit ZerosReader(quint64 size) : m_size(size) {}
    qint64 read(std::span<std::byte> buffer) override
    {
        const quint64 length = std::min<quint64>(buffer.size(), m_size - m_position);
        std::fill_n(buffer.begin(), length, std::byte{0});
        for (quint64 at = std::max(m_position, m_size - kTail.size()); at < m_position + length; ++at) {
            buffer[at - m_position] = static_cast<std::byte>(kTail[at - (m_size - kTail.size())]);
        }
        m_position += length;
        return static_cast<qint64>(length);
    }
    QString errorString() const override { return {}; }
    FileIdentity identity() const override { return {1, 2, static_cast<qint64>(m_size), {3, 0}, {4, 0}}; }
    std::optional<FileIdentity> currentIdentity() override { return identity(); }

    static constexpr std::string_view kTail = "tail";

private:
    quint64 m_size;
    quint64 m_position = 0;
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

// Small blocks, so that small files take many of them, and workers enough to share each read's lanes whatever the
// machine's cores.
DigestBatchOptions smallBlocks(std::size_t blocks, LanePlan lanes = {})
{
    DigestBatchOptions options;
    options.blockSize = kSmallBlock;
    options.blocksInFlight = blocks;
    options.workers = 3;
    options.lanes = std::move(lanes);
    return options;
}

bool isHexDigest(const QString& text)
{
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]+$"));
    return hex.match(text).hasMatch();
}

QByteArray nativeOf(const QString& path)
{
    return QFile::encodeName(path);
}

// Puts a file's modification time back a day, so that a rewrite in the same clock tick still changes it.
void backdate(const QString& path)
{
    struct timespec times[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 86'400, 0}};
    QCOMPARE(::utimensat(AT_FDCWD, nativeOf(path).constData(), times, 0), 0);
}

FileIdentity identityOf(const QString& path)
{
    QString error;
    const std::optional<FileStatus> status = RegularFile::status(nativeOf(path), &error);
    if (!status) {
        qFatal("cannot stat %s: %s", qPrintable(path), qPrintable(error));
    }
    return status->identity;
}

// Overwrites the first bytes in place: same file, same size.
void overwriteStart(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QCOMPARE(file.write(bytes), bytes.size());
}

// A real hasher that the library stops serving at a chosen point.
class FailingHasher final : public Hasher
{
public:
    FailingHasher(std::unique_ptr<Hasher> inner, int failAtUpdate, bool failResult)
        : m_inner(std::move(inner)), m_failAtUpdate(failAtUpdate), m_failResult(failResult)
    {}
    bool addData(std::span<const std::byte> data) override
    {
        return ++m_updates != m_failAtUpdate && m_inner->addData(data);
    }
    std::optional<QByteArray> result() override { return m_failResult ? std::nullopt : m_inner->result(); }
    QString errorString() const override { return QStringLiteral("library failure injected by the test"); }

private:
    std::unique_ptr<Hasher> m_inner;
    int m_updates = 0;
    int m_failAtUpdate;
    bool m_failResult;
};

} // namespace

class TestDigestEngine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void matchesIndependentTools_data();
    void matchesIndependentTools();
    void overFourGiBOfZeros();
    void fourSelectorsOfOneJobReadTheFileOnce();
    void everyJobReadsTheFileAgain();
    void changeDuringTheReadFails_data();
    void changeDuringTheReadFails();
    void changeSinceTheShownVersionFails_data();
    void changeSinceTheShownVersionFails();
    void changeEarlyInALongReadStopsItEarly();
    void modificationTimeAfter2262();
    void refusesWhatIsNotARegularFile_data();
    void refusesWhatIsNotARegularFile();
    void fifoIsRefusedAtOnce();
    void unreadableFileFails();
    void readErrorMidwayFails();
    void shortReadsGiveTheSameDigests();
    void cancelStopsAnEndlessRead();
    void symbolicLinkIsFollowed();
    void refusedDigestIsUnavailableAndTheOthersGoOn_data();
    void refusedDigestIsUnavailableAndTheOthersGoOn();
    void workerThatCannotStartLeavesTheDigestsToOthers_data();
    void workerThatCannotStartLeavesTheDigestsToOthers();
    void lanesFitTheDigestCosts_data();
    void lanesFitTheDigestCosts();
    void everyPlanGivesTheSameDigests_data();
    void everyPlanGivesTheSameDigests();

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
    DigestEngine engine(RegularFile::open, smallBlocks(3));
    DigestJob job;
    for (DigestKind kind : kDigestOrder) {
        const DigestOutcome outcome = engine.DigestFile(kind, file, -1, &job);
        QVERIFY2(outcome.isOk(), qPrintable(outcome.reason));
        QCOMPARE(outcome.digest, expectedBy(kind, file));
    }
}

// 2^32 + 4099 bytes: every size and counter past what 32 bits hold. The expected digests were computed once of the
// same bytes by coreutils and Python's zlib:
//   { head -c 4294971391 /dev/zero; printf tail; } | md5sum    (sha1sum, sha256sum; zlib.crc32 for CRC-32)
// The same bytes from a sparse file on disk are read by TestLargeFiles.
void TestDigestEngine::overFourGiBOfZeros()
{
    const quint64 size = (quint64{1} << 32) + 4099;
    DigestEngine engine([size](const QByteArray&) {
        OpenedFile opened;
        opened.reader = std::make_unique<ZerosReader>(size);
        return opened;
    });
    DigestJob job;
    const std::pair<DigestKind, QString> expected[] = {
        {DigestKind::Crc32, QStringLiteral("77e58ee9")},
        {DigestKind::Md5, QStringLiteral("ba4058fc3fbc4bc76f970c38fb5c88a1")},
        {DigestKind::Sha1, QStringLiteral("6297646c6d99bedff906ca38c8666d2ec2b0154c")},
        {DigestKind::Sha256, QStringLiteral("bf3f10e6172da8690115e38ee09d384e421ec7fe4d5415152a74c06e186d9f35")},
    };
    for (const auto& [kind, digest] : expected) {
        const DigestOutcome outcome = engine.DigestFile(kind, QStringLiteral("/zeros"), -1, &job);
        QVERIFY2(outcome.isOk(), qPrintable(outcome.reason));
        QCOMPARE(outcome.digest, digest);
    }
    QCOMPARE(job.bytesDone(), size);
    const std::optional<DigestJob::Read> read = job.read();
    QVERIFY(read);
    QCOMPARE(read->bytesRead, size);
}

void TestDigestEngine::fourSelectorsOfOneJobReadTheFileOnce()
{
    const QString file = m_files.write(QStringLiteral("once"), TempFiles::randomBytes(100'000, 7));
    int opens = 0;
    DigestEngine engine([&](const QByteArray& path) {
        ++opens;
        return RegularFile::open(path);
    });
    DigestJob job;
    for (DigestKind kind : kDigestOrder) {
        QVERIFY(engine.DigestFile(kind, file, -1, &job).isOk());
    }
    QCOMPARE(opens, 1);
}

// A same-size rewrite with the modification time put back (cp -p, touch -r, rsync -t) looks unchanged to
// anything that keys on size and time; a new analysis must read the file again all the same.
void TestDigestEngine::everyJobReadsTheFileAgain()
{
    const QString file = m_files.write(QStringLiteral("rewritten"), "first version");
    int opens = 0;
    DigestEngine engine([&](const QByteArray& path) {
        ++opens;
        return RegularFile::open(path);
    });
    DigestJob first;
    QCOMPARE(engine.DigestFile(DigestKind::Md5, file, -1, &first).digest, expectedBy(DigestKind::Md5, file));

    struct stat before
    {
    };
    QCOMPARE(::stat(nativeOf(file).constData(), &before), 0);
    m_files.write(QStringLiteral("rewritten"), "later version");
    struct timespec times[2] = {before.st_atim, before.st_mtim};
    QCOMPARE(::utimensat(AT_FDCWD, nativeOf(file).constData(), times, 0), 0);

    DigestJob second;
    QCOMPARE(engine.DigestFile(DigestKind::Md5, file, -1, &second).digest, expectedBy(DigestKind::Md5, file));
    QCOMPARE(opens, 2);
}

void TestDigestEngine::changeDuringTheReadFails_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("first block overwritten") << "overwrite";
    QTest::newRow("grown") << "append";
    QTest::newRow("truncated") << "truncate";
    QTest::newRow("metadata changed") << "chmod";
}

// The bytes digested must all belong to one version of the file: a change seen when the read ends fails the digest
// rather than give the digest of a mix of old and new bytes.
void TestDigestEngine::changeDuringTheReadFails()
{
    QFETCH(QString, change);
    const QString file = m_files.write(QStringLiteral("changing-") + change, TempFiles::randomBytes(64 * 1024, 3));
    backdate(file);
    // A writer opening the file breaks the lease the reader holds, where it can hold one, and is named for it.
    const bool leased = MidReadWriter::leaseCanBeHeld(file);
    MidReadWriter writer;
    bool metadataChanged = false;
    const std::function<void()> meddle = [&] {
        if (change == QStringLiteral("overwrite")) {
            writer.start(file, O_WRONLY, [](int descriptor) {
                const QByteArray bytes(4096, 'x');
                (void)!::write(descriptor, bytes.constData(), bytes.size());
                ::close(descriptor);
            });
        } else if (change == QStringLiteral("append")) {
            writer.start(file, O_WRONLY | O_APPEND, [](int descriptor) {
                (void)!::write(descriptor, "more", 4);
                ::close(descriptor);
            });
        } else if (change == QStringLiteral("truncate")) {
            writer.start(file, O_WRONLY, [](int descriptor) {
                (void)!::ftruncate(descriptor, 1000);
                ::close(descriptor);
            });
        } else if (!std::exchange(metadataChanged, true)) { // once: the second reading finds it at rest
            QVERIFY(QFile(file).setPermissions(QFileDevice::ReadOwner));
        }
    };
    DigestEngine engine(
        [&](const QByteArray& path) {
            OpenedFile opened = RegularFile::open(path);
            opened.reader = std::make_unique<MeddlingReader>(std::move(opened.reader), 2, meddle);
            return opened;
        },
        smallBlocks(2));
    DigestJob job;
    const DigestOutcome outcome = engine.DigestFile(DigestKind::Crc32, file, -1, &job);
    writer.join();
    if (change == QStringLiteral("chmod")) {
        // The change time alone moved: a second read, with nothing moving, agrees with the first.
        QVERIFY2(outcome.status == DigestOutcome::Status::Ok, qPrintable(outcome.reason));
        QCOMPARE(outcome.digest, expectedBy(DigestKind::Crc32, file));
        return;
    }
    QCOMPARE(outcome.status, DigestOutcome::Status::Failed);
    QCOMPARE(outcome.failure, leased ? DigestFailure::BeingWritten : DigestFailure::ChangedWhileRead);
    QCOMPARE(outcome.reason, leased ? MidReadWriter::writerReason() : DigestEngine::changedWhileReadReason());
    QVERIFY(outcome.digest.isEmpty());
    // Nothing of the failed read is kept for the job's other digests: they read again, failing while the file is
    // changed under the read, or giving the digest of the file as it now stands.
    const DigestOutcome again = engine.DigestFile(DigestKind::Md5, file, -1, &job);
    QVERIFY2(again.status == DigestOutcome::Status::Failed || again.digest == expectedBy(DigestKind::Md5, file),
             qPrintable(again.digest));
}

void TestDigestEngine::changeSinceTheShownVersionFails_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("same size, modification time put back") << "restore-time";
    QTest::newRow("replaced by another file") << "replace";
    QTest::newRow("grown") << "append";
}

// The size and dates on screen describe the version the analysis looked at; digests of any other version would
// contradict them.
void TestDigestEngine::changeSinceTheShownVersionFails()
{
    QFETCH(QString, change);
    const QString file = m_files.write(QStringLiteral("shown-") + change, "shown version");
    DigestJob job(identityOf(file));
    // The change time moves in clock ticks of a few milliseconds; step past the one the file was written in.
    QTest::qWait(20);
    if (change == QStringLiteral("restore-time")) {
        struct stat before
        {
        };
        QCOMPARE(::stat(nativeOf(file).constData(), &before), 0);
        overwriteStart(file, "SHOWN");
        struct timespec times[2] = {before.st_atim, before.st_mtim};
        QCOMPARE(::utimensat(AT_FDCWD, nativeOf(file).constData(), times, 0), 0);
    } else if (change == QStringLiteral("replace")) {
        const QString other = m_files.write(QStringLiteral("other-") + change, "other version");
        QCOMPARE(::rename(nativeOf(other).constData(), nativeOf(file).constData()), 0);
    } else {
        QFile target(file);
        QVERIFY(target.open(QIODevice::Append));
        target.write("!");
    }
    const DigestOutcome outcome = DigestEngine().DigestFile(DigestKind::Sha256, file, -1, &job);
    QCOMPARE(outcome.status, DigestOutcome::Status::Failed);
    QCOMPARE(outcome.failure, DigestFailure::ChangedWhileRead);
    QCOMPARE(outcome.reason, DigestEngine::changedWhileReadReason());

    DigestJob unchanged(identityOf(file));
    QCOMPARE(DigestEngine().DigestFile(DigestKind::Sha256, file, -1, &unchanged).digest,
             expectedBy(DigestKind::Sha256, file));
}

// A change early in the read of a large file is reported within a few blocks, not after the whole file.
void TestDigestEngine::changeEarlyInALongReadStopsItEarly()
{
    const qint64 size = qint64{256} << 20;
    const QString file = m_files.writeSparse(QStringLiteral("long read"), size, "end");
    backdate(file);
    const bool leased = MidReadWriter::leaseCanBeHeld(file);
    MidReadWriter writer;
    DigestEngine engine(
        [&](const QByteArray& path) {
            OpenedFile opened = RegularFile::open(path);
            opened.reader = std::make_unique<MeddlingReader>(std::move(opened.reader), 2, [&] {
                writer.start(file, O_WRONLY, [](int descriptor) {
                    (void)!::write(descriptor, "changed", 7);
                    ::close(descriptor);
                });
            });
            return opened;
        },
        smallBlocks(2));
    DigestJob job;
    const DigestOutcome outcome = engine.DigestFile(DigestKind::Md5, file, -1, &job);
    writer.join();
    QCOMPARE(outcome.reason, leased ? MidReadWriter::writerReason() : DigestEngine::changedWhileReadReason());
    QCOMPARE(outcome.failure, leased ? DigestFailure::BeingWritten : DigestFailure::ChangedWhileRead);
    QVERIFY2(job.bytesDone() < quint64{1} << 20, qPrintable(QString::number(job.bytesDone())));
}

// Nanoseconds since 1970 overflow 64 bits in 2262; the time fields must still compare.
void TestDigestEngine::modificationTimeAfter2262()
{
    const QString file = m_files.write(QStringLiteral("far future"), "from the future");
    struct timespec times[2] = {{0, UTIME_OMIT}, {10'413'792'000, 999'999'999}}; // 2300-01-01
    QCOMPARE(::utimensat(AT_FDCWD, nativeOf(file).constData(), times, 0), 0);
    const FileIdentity identity = identityOf(file);
    QCOMPARE(identity.modified.seconds, qint64{10'413'792'000});
    DigestJob job(identity);
    QCOMPARE(DigestEngine().DigestFile(DigestKind::Md5, file, -1, &job).digest, expectedBy(DigestKind::Md5, file));
}

void TestDigestEngine::refusesWhatIsNotARegularFile_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reasonPart");
    QTest::addColumn<DigestFailure>("failure");
    using F = DigestFailure;
    QTest::newRow("folder") << QDir::tempPath() << "folder" << F::NotRegularFile;
    QTest::newRow("missing") << m_files.path("does-not-exist") << "No such file" << F::Missing;
    QTest::newRow("file used as a folder") << m_files.write("plain", "x") + "/inside"
                                           << "Not a directory" << F::Missing;
    QTest::newRow("device") << "/dev/zero"
                            << "device" << F::NotRegularFile;
    QTest::newRow("empty path") << ""
                                << "cannot be represented" << F::Missing;
    QTest::newRow("embedded nul") << QStringLiteral("/etc/hostname") + QChar(0) + QStringLiteral("x")
                                  << "cannot be represented" << F::Missing;
    QTest::newRow("lone surrogate") << QStringLiteral("/tmp/a") + QChar(0xd800) << "cannot be represented"
                                    << F::Missing;
}

void TestDigestEngine::refusesWhatIsNotARegularFile()
{
    QFETCH(QString, path);
    QFETCH(QString, reasonPart);
    QFETCH(DigestFailure, failure);
    DigestEngine engine;
    const DigestOutcome outcome = engine.DigestFile(DigestKind::Sha256, path);
    QCOMPARE(outcome.status, DigestOutcome::Status::Failed);
    QCOMPARE(outcome.failure, failure);
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
    QCOMPARE(outcome.failure, DigestFailure::NotRegularFile);
    QVERIFY2(outcome.reason.contains(QStringLiteral("FIFO")), qPrintable(outcome.reason));
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
    QCOMPARE(outcome.failure, DigestFailure::PermissionDenied);
    QVERIFY2(outcome.reason.contains(QStringLiteral("Permission denied")), qPrintable(outcome.reason));
}

void TestDigestEngine::readErrorMidwayFails()
{
    const QString file = m_files.write(QStringLiteral("io-error"), "x");
    DigestEngine engine(
        [](const QByteArray&) {
            return OpenedFile{std::make_unique<ScriptedReader>(5, -1, 4096), {}};
        },
        smallBlocks(2));
    const DigestOutcome outcome = engine.DigestFile(DigestKind::Crc32, file);
    QCOMPARE(outcome.status, DigestOutcome::Status::Failed);
    QCOMPARE(outcome.failure, DigestFailure::ReadError);
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
        smallBlocks(2));
    DigestJob job;
    for (DigestKind kind : kDigestOrder) {
        QCOMPARE(engine.DigestFile(kind, expected, -1, &job).digest, expectedBy(kind, expected));
    }
}

void TestDigestEngine::cancelStopsAnEndlessRead()
{
    const QString file = m_files.write(QStringLiteral("endless"), "x");
    DigestEngine engine(
        [](const QByteArray&) {
            return OpenedFile{std::make_unique<ScriptedReader>(-1, -1, 1 << 16), {}};
        },
        DigestBatchOptions{});
    DigestJob job;
    std::jthread canceller([&] {
        while (job.bytesDone() < (quint64{8} << 20)) {
            std::this_thread::yield();
        }
        job.cancel();
    });
    const DigestOutcome outcome = engine.DigestFile(DigestKind::Sha1, file, -1, &job);
    QCOMPARE(outcome.status, DigestOutcome::Status::Cancelled);
    QCOMPARE(outcome.failure, DigestFailure::Cancelled);
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

void TestDigestEngine::refusedDigestIsUnavailableAndTheOthersGoOn_data()
{
    QTest::addColumn<HashAlgorithm>("algorithm");
    QTest::addColumn<int>("failAtUpdate"); // 0: set-up refused
    QTest::addColumn<bool>("failResult");
    QTest::addColumn<QString>("reason");
    const QString injected = QStringLiteral("library failure injected by the test");
    QTest::newRow("md5 set-up refused") << HashAlgorithm::Md5 << 0 << false << "set-up refused by the test";
    QTest::newRow("sha256 refuses the first block") << HashAlgorithm::Sha256 << 1 << false << injected;
    QTest::newRow("sha1 refuses the third block") << HashAlgorithm::Sha1 << 3 << false << injected;
    QTest::newRow("crc32 refuses the last block") << HashAlgorithm::Crc32 << 5 << false << injected;
    QTest::newRow("md5 refuses to finish") << HashAlgorithm::Md5 << -1 << true << injected;
}

// A digest the library will not compute (MD5 on a host in FIPS mode) is unavailable with the library's reason,
// wherever the refusal comes; the others are still computed, right, from the same read.
void TestDigestEngine::refusedDigestIsUnavailableAndTheOthersGoOn()
{
    QFETCH(HashAlgorithm, algorithm);
    QFETCH(int, failAtUpdate);
    QFETCH(bool, failResult);
    QFETCH(QString, reason);
    const QString file = m_files.write(QStringLiteral("hasher-fault"), TempFiles::randomBytes(5 * 4096, 11));
    DigestBatchOptions options = smallBlocks(2);
    options.createHasher = [&](HashAlgorithm which, QString* error) -> std::unique_ptr<Hasher> {
        std::unique_ptr<Hasher> real = Hasher::create(which, error);
        if (which != algorithm) {
            return real;
        }
        if (failAtUpdate == 0) {
            *error = QStringLiteral("set-up refused by the test");
            return nullptr;
        }
        return std::make_unique<FailingHasher>(std::move(real), failAtUpdate, failResult);
    };
    int opens = 0;
    DigestEngine engine(
        [&](const QByteArray& path) {
            ++opens;
            return RegularFile::open(path);
        },
        options);
    DigestJob job;
    for (DigestKind kind : kDigestOrder) {
        const DigestOutcome outcome = engine.DigestFile(kind, file, -1, &job);
        if (algorithmFor(kind) == algorithm) {
            QCOMPARE(outcome.status, DigestOutcome::Status::Unavailable);
            QCOMPARE(outcome.failure, DigestFailure::DigestRefused);
            QCOMPARE(outcome.reason, reason);
            QVERIFY(outcome.digest.isEmpty());
        } else {
            QVERIFY2(outcome.isOk(), qPrintable(outcome.reason));
            QCOMPARE(outcome.digest, expectedBy(kind, file));
        }
    }
    QCOMPARE(opens, 1);
}

void TestDigestEngine::workerThatCannotStartLeavesTheDigestsToOthers_data()
{
    QTest::addColumn<int>("workers");
    QTest::addColumn<int>("refusedStart"); // 0: every start refused
    QTest::newRow("first of two") << 2 << 1;
    QTest::newRow("second of two") << 2 << 2;
    QTest::newRow("last of four") << 4 << 4;
    QTest::newRow("every one of two") << 2 << 0;
}

// Workers that did start, or else the thread that asked, do the work of one that could not: the digests come, right.
void TestDigestEngine::workerThatCannotStartLeavesTheDigestsToOthers()
{
    QFETCH(int, workers);
    QFETCH(int, refusedStart);
    const QString file = m_files.write(QStringLiteral("no-thread"), TempFiles::randomBytes(50'000, 5));
    int starts = 0;
    DigestBatchOptions options = smallBlocks(2);
    options.workers = workers;
    options.startThread = [&](std::function<void()> work) {
        if (++starts == refusedStart || refusedStart == 0) {
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        }
        return std::thread(std::move(work));
    };
    DigestEngine engine(RegularFile::open, options);
    DigestJob job;
    for (DigestKind kind : kDigestOrder) {
        const DigestOutcome outcome = engine.DigestFile(kind, file, -1, &job);
        QVERIFY2(outcome.isOk(), qPrintable(outcome.reason));
        QCOMPARE(outcome.digest, expectedBy(kind, file));
    }
    // No more threads are asked of a system that refused one.
    QCOMPARE(starts, refusedStart == 0 ? 1 : refusedStart);
}

void TestDigestEngine::lanesFitTheDigestCosts_data()
{
    QTest::addColumn<DigestCosts>("costs");
    QTest::addColumn<int>("cores");
    QTest::addColumn<QString>("plan");
    // Seconds per GiB on one machine, indexed CRC-32, MD5, SHA-1, SHA-256.
    const DigestCosts withSha{0.03, 1.42, 0.57, 0.80};
    const DigestCosts withoutSha{0.03, 1.42, 0.90, 2.00};
    QTest::newRow("sha instructions, two cores") << withSha << 2 << "CRC-32, SHA-1, SHA-256 | MD5";
    QTest::newRow("no sha instructions, two cores") << withoutSha << 2 << "CRC-32, SHA-256 | MD5, SHA-1";
    // SHA-256 alone sets the pace; of the three-lane plans that keep up with it, the most even one.
    QTest::newRow("no sha instructions, four cores") << withoutSha << 4 << "CRC-32, SHA-1 | MD5 | SHA-256";
    QTest::newRow("three cores") << DigestCosts{0.03, 1.42, 0.90, 1.40} << 3 << "CRC-32, SHA-1 | MD5 | SHA-256";
    QTest::newRow("equal costs, four cores") << DigestCosts{1, 1, 1, 1} << 4 << "CRC-32 | MD5 | SHA-1 | SHA-256";
    // No more lanes than it takes to keep up with the slowest digest.
    QTest::newRow("more cores than digests") << withSha << 16 << "CRC-32, SHA-1, SHA-256 | MD5";
    QTest::newRow("one core") << withSha << 1 << "CRC-32, MD5, SHA-1, SHA-256";
    QTest::newRow("no core count") << withSha << 0 << "CRC-32, MD5, SHA-1, SHA-256";
}

void TestDigestEngine::lanesFitTheDigestCosts()
{
    QFETCH(DigestCosts, costs);
    QFETCH(int, cores);
    QFETCH(QString, plan);
    QCOMPARE(describeLanes(planLanes(windowAlgorithms(), costs, cores)), plan);
}

void TestDigestEngine::everyPlanGivesTheSameDigests_data()
{
    QTest::addColumn<LanePlan>("plan");
    using A = HashAlgorithm;
    QTest::newRow("one lane") << LanePlan{{A::Crc32, A::Md5, A::Sha1, A::Sha256}};
    QTest::newRow("md5 alone") << LanePlan{{A::Md5}, {A::Sha1, A::Sha256, A::Crc32}};
    QTest::newRow("pairs") << LanePlan{{A::Md5, A::Sha1}, {A::Sha256, A::Crc32}};
    QTest::newRow("one lane each") << LanePlan{{A::Sha256}, {A::Crc32}, {A::Md5}, {A::Sha1}};
    QTest::newRow("fitted to this machine") << fittedLanePlan(windowAlgorithms(), QThread::idealThreadCount());
}

void TestDigestEngine::everyPlanGivesTheSameDigests()
{
    QFETCH(LanePlan, plan);
    const QString file = m_files.write(QStringLiteral("plans"), TempFiles::randomBytes(300'007, 13));
    DigestEngine engine(RegularFile::open, smallBlocks(3, plan));
    DigestJob job;
    for (DigestKind kind : kDigestOrder) {
        QCOMPARE(engine.DigestFile(kind, file, -1, &job).digest, expectedBy(kind, file));
    }
}

QTEST_GUILESS_MAIN(TestDigestEngine)
#include "TestDigestEngine.moc"
