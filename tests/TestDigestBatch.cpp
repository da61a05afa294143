#include "DigestBatch.h"
#include "GatedReader.h"
#include "LanePlan.h"
#include "MidReadWriter.h"
#include "TempFiles.h"
#include "WatchedReader.h"

#include <cerrno>
#include <fcntl.h>
#include <QCryptographicHash>
#include <QDir>
#include <QMap>
#include <QTest>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

Q_DECLARE_METATYPE(DigestFailure)
Q_DECLARE_METATYPE(AlgorithmSet)
Q_DECLARE_METATYPE(DigestCosts)

namespace {

constexpr std::size_t kSmallBlock = 4096;

AlgorithmSet everyAlgorithm()
{
    AlgorithmSet all;
    for (const AlgorithmInfo& info : kAlgorithms) {
        all.insert(info.algorithm);
    }
    return all;
}

// Every digest of each file's bytes by Python's hashlib and zlib, another implementation of each algorithm; asked
// once for many files, as the interpreter is slow to start.
QMap<QString, QMap<HashAlgorithm, QString>> referenceDigests(const QStringList& files)
{
    // BLAKE3 and xxHash from their own tools; CRC-32C from its definition, bit by bit (RFC 3720).
    static const char* script = R"(import hashlib, subprocess, sys, zlib
table = []
for n in range(256):
    c = n
    for _ in range(8):
        c = (c >> 1) ^ 0x82f63b78 if c & 1 else c >> 1
    table.append(c)
def crc32c(data):
    c = 0xffffffff
    for b in data:
        c = table[(c ^ b) & 0xff] ^ (c >> 8)
    return c ^ 0xffffffff
def tool(*command):
    words = subprocess.run(command, check=True, capture_output=True).stdout.split()
    return (words[-1] if words[0].startswith(b'XXH') else words[0]).decode()
for path in sys.argv[1:]:
    data = open(path, 'rb').read()
    print(path)
    print('crc32', '%08x' % (zlib.crc32(data) & 0xffffffff))
    print('crc32c', '%08x' % crc32c(data))
    for name in ['md5', 'sha1', 'sha224', 'sha256', 'sha384', 'sha512', 'sha3_256', 'sha3_512', 'blake2b']:
        print(name.replace('_', '-'), hashlib.new(name, data).hexdigest())
    print('blake3', tool('b3sum', '--no-names', path))
    for name, width in [('xxh32', 0), ('xxh64', 1), ('xxh128', 2), ('xxh3', 3)]:
        print(name, tool('xxhsum', '-H%d' % width, path))
)";
    QProcess python;
    python.start(QStringLiteral("python3"), QStringList{QStringLiteral("-c"), QString::fromLatin1(script)} + files);
    if (!python.waitForFinished(600'000) || python.exitCode() != 0) {
        qFatal("python3 failed on %s", qPrintable(files.join(u' ')));
    }
    QMap<QString, QMap<HashAlgorithm, QString>> digests;
    QString file;
    for (const QByteArray& line : python.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        if (words.size() == 2) {
            digests[file].insert(*algorithmFromName(words[0].toStdString()), QString::fromLatin1(words[1]));
        } else {
            file = QString::fromLocal8Bit(line);
        }
    }
    return digests;
}

QMap<HashAlgorithm, QString> referenceDigests(const QString& file)
{
    return referenceDigests(QStringList{file}).value(file);
}

QByteArray nativeOf(const QString& path)
{
    return QFile::encodeName(path);
}

DigestRequest requestFor(const QString& path, AlgorithmSet algorithms = everyAlgorithm())
{
    return DigestRequest{nativeOf(path), algorithms, false};
}

// Each requested digest as the reference has it, and nothing else.
void compareWithReference(const FileDigests& result, const AlgorithmSet& algorithms,
                          const QMap<HashAlgorithm, QString>& expected)
{
    QVERIFY2(result.isOk(), qPrintable(result.reason));
    for (const AlgorithmInfo& info : kAlgorithms) {
        const QByteArray hex = result.digest(info.algorithm).toHex();
        QCOMPARE(QString::fromLatin1(hex), algorithms.contains(info.algorithm) ? expected.value(info.algorithm) : "");
    }
}

// Serves the same byte for ever, as /dev/zero would.
class EndlessReader final : public FileReader
{
public:
    qint64 read(std::span<std::byte> buffer) override
    {
        std::fill(buffer.begin(), buffer.end(), std::byte{0x5a});
        return static_cast<qint64>(buffer.size());
    }
    QString errorString() const override { return {}; }
    FileIdentity identity() const override { return {}; }
    std::optional<FileIdentity> currentIdentity() override { return FileIdentity{}; }
};

// The real reader, failing from a given read on as a failing disk would.
class FailingReader final : public ForwardingReader
{
public:
    FailingReader(std::unique_ptr<FileReader> inner, int failAtRead)
        : ForwardingReader(std::move(inner)), m_failAtRead(failAtRead)
    {}
    qint64 read(std::span<std::byte> buffer) override
    {
        return ++m_reads >= m_failAtRead ? -1 : ForwardingReader::read(buffer);
    }
    QString errorString() const override { return QStringLiteral("Input/output error"); }

private:
    int m_reads = 0;
    int m_failAtRead;
};

// A real hasher that the library stops serving at its first block, or never sets up.
class RefusingHasher final : public Hasher
{
public:
    bool addData(std::span<const std::byte>) override { return false; }
    std::optional<QByteArray> result() override { return std::nullopt; }
    QString errorString() const override { return QStringLiteral("refused by the test"); }
};

// Puts a file's modification time back a day, so that a rewrite in the same clock tick still changes it.
void backdate(const QString& path)
{
    struct timespec times[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 86'400, 0}};
    QCOMPARE(::utimensat(AT_FDCWD, nativeOf(path).constData(), times, 0), 0);
}

int threadsOfThisProcess()
{
    return static_cast<int>(
        QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

} // namespace

class TestDigestBatch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void changeTimeAloneReadsAgain_data();
    void changeTimeAloneReadsAgain();
    void everyAlgorithmMatchesTheReference_data();
    void everyAlgorithmMatchesTheReference();
    void resultsComeInSubmissionOrder();
    void anyResultDoneIsTakenWhileAnEarlierHangs();
    void failuresCarryTheirKind_data();
    void failuresCarryTheirKind();
    void changeDuringTheReadFails_data();
    void changeDuringTheReadFails();
    void refusedDigestLeavesTheOthers_data();
    void refusedDigestLeavesTheOthers();
    void fifoAndDeviceAreReadAsToolsRead();
    void standardInputIsReadWhereItStands();
    void cancelStopsEndlessReads();
    void ownersFlagAndCounterServeAsTheBatchs();
    void onlyTheExpectedVersionIsRead_data();
    void onlyTheExpectedVersionIsRead();
    void manyFilesOnAFixedPool();
    void hashersKeptBetweenFilesStartAfresh();
    void lanesForAnySetOfDigests_data();
    void lanesForAnySetOfDigests();

private:
    TempFiles m_files;
    QMap<QString, QMap<HashAlgorithm, QString>> m_reference;
};

namespace {

const QList<qsizetype>& knownAnswerSizes()
{
    const auto block = static_cast<qsizetype>(kSmallBlock);
    // Around the digests' own blocks (55, 56, 64, 128), the read's blocks, and files long enough to be shared.
    static const QList<qsizetype> sizes{
        0, 1, 55, 56, 64, 129, block - 1, block, block + 1, 2 * block + 1, 40 * block + 17};
    return sizes;
}

QString knownAnswerName(qsizetype size)
{
    return QStringLiteral("random-%1").arg(size);
}

} // namespace

void TestDigestBatch::initTestCase()
{
    QStringList files;
    for (qsizetype size : knownAnswerSizes()) {
        files.append(m_files.write(knownAnswerName(size), TempFiles::randomBytes(size, static_cast<quint32>(size))));
    }
    m_reference = referenceDigests(files);
}

void TestDigestBatch::everyAlgorithmMatchesTheReference_data()
{
    QTest::addColumn<qsizetype>("size");
    QTest::addColumn<int>("workers");
    for (qsizetype size : knownAnswerSizes()) {
        for (int workers : {1, 2, 3}) {
            QTest::addRow("%lld bytes, %d workers", static_cast<long long>(size), workers) << size << workers;
        }
    }
}

// All ten digests from one read of each file, whether one worker reads it alone or idle ones share its lanes.
void TestDigestBatch::everyAlgorithmMatchesTheReference()
{
    QFETCH(qsizetype, size);
    QFETCH(int, workers);
    const QString file = m_files.path(knownAnswerName(size));
    int opens = 0;
    DigestBatchOptions options;
    options.workers = workers;
    options.blockSize = kSmallBlock;
    options.blocksInFlight = 3;
    options.opener = [&opens](const QByteArray& path) {
        ++opens; // one worker opens: the others only help
        return RegularFile::open(path);
    };
    DigestBatch batch(options);
    batch.submit(requestFor(file));
    const FileDigests result = batch.takeNext();
    compareWithReference(result, everyAlgorithm(), m_reference.value(file));
    QCOMPARE(result.bytesRead, static_cast<quint64>(size));
    QCOMPARE(batch.bytesDone(), static_cast<quint64>(size));
    QCOMPARE(opens, 1);
}

void TestDigestBatch::resultsComeInSubmissionOrder()
{
    struct Case
    {
        QString path;
        AlgorithmSet algorithms;
    };
    using A = HashAlgorithm;
    const QList<Case> cases{
        {m_files.write("large", TempFiles::randomBytes(3'000'000, 1)), everyAlgorithm()},
        {m_files.write("small", TempFiles::randomBytes(10, 2)), {A::Md5}},
        {m_files.path("missing"), {A::Md5}},
        {m_files.write("medium", TempFiles::randomBytes(200'000, 3)), {A::Sha256, A::Crc32}},
        {m_files.write("empty", {}), {A::Sha3_512, A::Blake2b}},
        {m_files.path("large"), {A::Sha1}}, // the same file again, read again
    };
    DigestBatchOptions options;
    options.workers = 2;
    options.blockSize = kSmallBlock;
    DigestBatch batch(options);
    for (const Case& each : cases) {
        batch.submit(requestFor(each.path, each.algorithms));
    }
    QCOMPARE(batch.pending(), static_cast<std::size_t>(cases.size()));
    QStringList files;
    for (const Case& each : cases) {
        files.append(each.path);
    }
    files.removeAll(m_files.path("missing"));
    const auto expected = referenceDigests(files);
    for (const Case& each : cases) {
        const FileDigests result = batch.takeNext();
        if (each.path.endsWith(QStringLiteral("missing"))) {
            QCOMPARE(result.failure, DigestFailure::Missing);
            continue;
        }
        compareWithReference(result, each.algorithms, expected.value(each.path));
    }
    QCOMPARE(batch.pending(), std::size_t{0});
}

// A file whose read hangs holds back no other when results are taken as they are done, each with its place in the
// order given; a wait that sees none done comes back empty.
void TestDigestBatch::anyResultDoneIsTakenWhileAnEarlierHangs()
{
    const QString hanging = m_files.write("hangs", TempFiles::randomBytes(1000, 4));
    const QString quick = m_files.write("quick", TempFiles::randomBytes(1000, 5));
    const auto gate = std::make_shared<Gate>();
    DigestBatchOptions options;
    options.workers = 2;
    options.opener = [gate](const QByteArray& path) {
        OpenedFile opened = RegularFile::open(path);
        if (path.endsWith("hangs")) {
            opened.reader = std::make_unique<GatedReader>(std::move(opened.reader), gate);
        }
        return opened;
    };
    DigestBatch batch(options);
    batch.submit(requestFor(hanging, {HashAlgorithm::Md5}));
    batch.submit(requestFor(quick, {HashAlgorithm::Md5}));
    batch.submit(requestFor(m_files.path("absent"), {HashAlgorithm::Md5}));
    const QByteArray quickMd5 = QCryptographicHash::hash(TempFiles::randomBytes(1000, 5), QCryptographicHash::Md5);
    QSet<std::size_t> taken;
    while (taken.size() < 2) {
        const auto done = batch.takeAny(std::chrono::milliseconds(5000));
        QVERIFY(done);
        QVERIFY(done->first == 1 || done->first == 2);
        if (done->first == 1) {
            QCOMPARE(done->second.digest(HashAlgorithm::Md5), quickMd5);
        } else {
            QCOMPARE(done->second.failure, DigestFailure::Missing);
        }
        taken.insert(done->first);
    }
    QTRY_COMPARE(gate->arrivals(), 1);
    QVERIFY(!batch.takeAny(std::chrono::milliseconds(20)));
    gate->open();
    const auto last = batch.takeAny(std::chrono::milliseconds(5000));
    QVERIFY(last);
    QCOMPARE(last->first, std::size_t{0});
    QCOMPARE(last->second.digest(HashAlgorithm::Md5),
             QCryptographicHash::hash(TempFiles::randomBytes(1000, 4), QCryptographicHash::Md5));
    QCOMPARE(batch.pending(), std::size_t{0});
}

void TestDigestBatch::failuresCarryTheirKind_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("readAnyFile");
    QTest::addColumn<int>("openError"); // put in the opener's way: the system's answer as a user can meet it
    QTest::addColumn<DigestFailure>("failure");
    QTest::addColumn<QString>("reason");
    const QString file = m_files.write("plain", "bytes");
    const QString folder = m_files.path("folder");
    QDir().mkpath(folder);
    const QString fifo = m_files.path("fifo");
    QCOMPARE(::mkfifo(nativeOf(fifo).constData(), 0600), 0);
    using F = DigestFailure;
    for (bool any : {false, true}) {
        const char* mode = any ? "any file" : "regular files";
        QTest::addRow("missing, %s", mode)
            << m_files.path("nothing") << any << 0 << F::Missing << "No such file or directory";
        QTest::addRow("file used as a folder, %s", mode) << file + "/x" << any << 0 << F::Missing << "Not a directory";
        QTest::addRow("folder, %s", mode) << folder << any << 0 << F::NotRegularFile << "Is a directory";
        QTest::addRow("permission, %s", mode) << file << any << EACCES << F::PermissionDenied << "Permission denied";
        QTest::addRow("not permitted, %s", mode)
            << file << any << EPERM << F::PermissionDenied << "Operation not permitted";
        QTest::addRow("too many links, %s", mode)
            << file << any << ELOOP << F::ReadError << "Too many levels of symbolic links";
    }
    QTest::newRow("fifo, regular files") << fifo << false << 0 << F::NotRegularFile
                                         << "It is a named pipe (FIFO), not a regular file.";
    QTest::newRow("device, regular files")
        << "/dev/null" << false << 0 << F::NotRegularFile << "It is a device, not a regular file.";
    QTest::newRow("read error") << file << false << -1 << F::ReadError << "Input/output error";
}

void TestDigestBatch::failuresCarryTheirKind()
{
    QFETCH(QString, path);
    QFETCH(bool, readAnyFile);
    QFETCH(int, openError);
    QFETCH(DigestFailure, failure);
    QFETCH(QString, reason);
    DigestBatchOptions options;
    options.readAnyFile = readAnyFile;
    options.opener = [&](const QByteArray& native) {
        if (openError > 0) {
            return OpenedFile{nullptr, qt_error_string(openError), openError};
        }
        OpenedFile opened = readAnyFile ? AnyFile::open(native) : RegularFile::open(native);
        if (openError < 0 && opened.reader) {
            opened.reader = std::make_unique<FailingReader>(std::move(opened.reader), 1);
        }
        return opened;
    };
    DigestBatch batch(options);
    batch.submit(requestFor(path));
    const FileDigests result = batch.takeNext();
    QCOMPARE(result.failure, failure);
    QCOMPARE(result.reason, reason);
    for (const QByteArray& digest : result.digests) {
        QVERIFY(digest.isEmpty());
    }
}

void TestDigestBatch::changeDuringTheReadFails_data()
{
    QTest::addColumn<int>("afterReads");
    QTest::addColumn<int>("workers");
    // Early in a long read, seen by the looks along the way; on the last read, seen only by the look at the end.
    const int reads = 2 * WatchedReader::kReadsBetweenLooks;
    for (int workers : {1, 2}) {
        QTest::addRow("early, %d workers", workers) << 2 << workers;
        QTest::addRow("at the end, %d workers", workers) << reads + 1 << workers;
    }
}

void TestDigestBatch::changeDuringTheReadFails()
{
    QFETCH(int, afterReads);
    QFETCH(int, workers);
    const int reads = 2 * WatchedReader::kReadsBetweenLooks;
    const QString file = m_files.write(QStringLiteral("changing-%1-%2").arg(afterReads).arg(workers),
                                       TempFiles::randomBytes(reads * static_cast<qsizetype>(kSmallBlock), 5));
    backdate(file);
    int readsDone = 0;
    // A writer opening the file breaks the lease the reader holds, where it can hold one, and is named for it.
    const bool leased = MidReadWriter::leaseCanBeHeld(file);
    MidReadWriter writer;
    DigestBatchOptions options;
    options.workers = workers;
    options.blockSize = kSmallBlock;
    options.opener = [&](const QByteArray& native) {
        OpenedFile opened = RegularFile::open(native);
        opened.reader = std::make_unique<MeddlingReader>(std::move(opened.reader), afterReads, [&] {
            writer.start(file, O_WRONLY, [](int descriptor) {
                (void)!::write(descriptor, "x", 1); // same size; the change time moves all the same
                ::close(descriptor);
            });
        });
        return opened;
    };
    {
        DigestBatch batch(options);
        batch.submit(requestFor(file));
        const FileDigests result = batch.takeNext();
        writer.join();
        QCOMPARE(result.failure, leased ? DigestFailure::BeingWritten : DigestFailure::ChangedWhileRead);
        QCOMPARE(result.reason, leased ? MidReadWriter::writerReason() : WatchedReader::changedWhileReadReason());
        for (const QByteArray& digest : result.digests) {
            QVERIFY(digest.isEmpty());
        }
        readsDone = static_cast<int>(result.bytesRead / kSmallBlock);
    }
    if (afterReads == 2) {
        QVERIFY2(readsDone <= WatchedReader::kReadsBetweenLooks, qPrintable(QString::number(readsDone)));
    }
}

void TestDigestBatch::refusedDigestLeavesTheOthers_data()
{
    QTest::addColumn<bool>("atSetUp");
    QTest::newRow("refused at set-up") << true;
    QTest::newRow("refused at the first block") << false;
}

// A host that forbids one digest (FIPS mode and MD5) still gets the others of the same read.
void TestDigestBatch::refusedDigestLeavesTheOthers()
{
    QFETCH(bool, atSetUp);
    const QString file = m_files.write("refused", TempFiles::randomBytes(50'000, 9));
    DigestBatchOptions options;
    options.blockSize = kSmallBlock;
    options.createHasher = [atSetUp](HashAlgorithm algorithm, QString* error) -> std::unique_ptr<Hasher> {
        if (algorithm != HashAlgorithm::Md5) {
            return Hasher::create(algorithm, error);
        }
        if (atSetUp) {
            *error = QStringLiteral("refused by the test");
            return nullptr;
        }
        return std::make_unique<RefusingHasher>();
    };
    DigestBatch batch(options);
    batch.submit(requestFor(file));
    const FileDigests result = batch.takeNext();
    QCOMPARE(result.failure, DigestFailure::DigestRefused);
    QCOMPARE(result.reason, QStringLiteral("refused by the test"));
    QCOMPARE(result.refusals[indexOf(HashAlgorithm::Md5)], QStringLiteral("refused by the test"));
    QVERIFY(result.digest(HashAlgorithm::Md5).isEmpty());
    const QMap<HashAlgorithm, QString> expected = referenceDigests(file);
    for (const AlgorithmInfo& info : kAlgorithms) {
        if (info.algorithm != HashAlgorithm::Md5) {
            QCOMPARE(QString::fromLatin1(result.digest(info.algorithm).toHex()), expected.value(info.algorithm));
            QVERIFY(result.refusals[indexOf(info.algorithm)].isEmpty());
        }
    }
}

// With readAnyFile, a FIFO is read to its writer's end and a device as it comes, as the command-line tools do.
void TestDigestBatch::fifoAndDeviceAreReadAsToolsRead()
{
    const QByteArray bytes = TempFiles::randomBytes(300'000, 11);
    const QString copy = m_files.write("fifo-bytes", bytes);
    const QString fifo = m_files.path("reader-fifo");
    QCOMPARE(::mkfifo(nativeOf(fifo).constData(), 0600), 0);
    std::thread writer([&] {
        QFile pipe(fifo);
        if (pipe.open(QIODevice::WriteOnly)) {
            pipe.write(bytes);
        }
    });
    DigestBatchOptions options;
    options.readAnyFile = true;
    options.blockSize = kSmallBlock;
    DigestBatch batch(options);
    batch.submit(requestFor(fifo));
    batch.submit(requestFor(QStringLiteral("/dev/null")));
    const FileDigests fromFifo = batch.takeNext();
    writer.join();
    compareWithReference(fromFifo, everyAlgorithm(), referenceDigests(copy));
    compareWithReference(batch.takeNext(), everyAlgorithm(), referenceDigests(m_files.write("nothing", {})));
}

// Standard input from where it stands, as often as asked: the second reading finds the end.
void TestDigestBatch::standardInputIsReadWhereItStands()
{
    const QByteArray bytes = TempFiles::randomBytes(100'000, 12);
    int ends[2];
    QCOMPARE(::pipe(ends), 0);
    const int savedInput = ::dup(STDIN_FILENO);
    QVERIFY(::dup2(ends[0], STDIN_FILENO) >= 0);
    ::close(ends[0]);
    std::thread writer([&] {
        for (qsizetype done = 0; done < bytes.size();) {
            const ssize_t count = ::write(ends[1], bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
            if (count <= 0) {
                break;
            }
            done += count;
        }
        ::close(ends[1]);
    });
    DigestBatch batch;
    batch.submit(DigestRequest{{}, {HashAlgorithm::Sha256, HashAlgorithm::Crc32}, true});
    batch.submit(DigestRequest{{}, {HashAlgorithm::Sha256}, true});
    const FileDigests first = batch.takeNext();
    const FileDigests second = batch.takeNext();
    writer.join();
    ::dup2(savedInput, STDIN_FILENO);
    ::close(savedInput);
    compareWithReference(first, {HashAlgorithm::Sha256, HashAlgorithm::Crc32},
                         referenceDigests(m_files.write("stdin-bytes", bytes)));
    compareWithReference(second, {HashAlgorithm::Sha256}, referenceDigests(m_files.write("no-bytes", {})));
}

// Endless reads stop at cancel(); what waited behind them comes back cancelled, and nothing is left running.
void TestDigestBatch::cancelStopsEndlessReads()
{
    const QString file = m_files.write("behind", "bytes");
    DigestBatchOptions options;
    options.workers = 2;
    options.blockSize = kSmallBlock;
    options.opener = [](const QByteArray& native) {
        if (native.endsWith("endless")) {
            return OpenedFile{std::make_unique<EndlessReader>(), QString()};
        }
        return RegularFile::open(native);
    };
    const int threadsBefore = threadsOfThisProcess();
    {
        DigestBatch batch(options);
        batch.submit(requestFor(QStringLiteral("one.endless")));
        batch.submit(requestFor(QStringLiteral("two.endless"), {HashAlgorithm::Md5}));
        QTRY_VERIFY(batch.bytesDone() > 1'000'000);
        batch.submit(requestFor(file));
        batch.cancel();
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(batch.takeNext().failure, DigestFailure::Cancelled);
        }
        batch.submit(requestFor(QStringLiteral("three.endless")));
    } // the destructor cancels what is left and joins
    QCOMPARE(threadsOfThisProcess(), threadsBefore);
}

// The window's analysis hands its own cancel flag and byte counter to the batch of its one file: its cancel stops the
// read as the batch's own would, and its counter shows the bytes every digest has taken in.
void TestDigestBatch::ownersFlagAndCounterServeAsTheBatchs()
{
    const qsizetype size = 300'007;
    const QString file = m_files.write("counted", TempFiles::randomBytes(size, 21));
    std::atomic<bool> ownerCancelled{false};
    std::atomic<quint64> ownerBytes{0};
    DigestBatchOptions options;
    options.workers = 2;
    options.blockSize = kSmallBlock;
    options.cancelledBy = &ownerCancelled;
    options.bytesDoneTo = &ownerBytes;
    options.opener = [](const QByteArray& native) {
        if (native.endsWith("endless")) {
            return OpenedFile{std::make_unique<EndlessReader>(), QString()};
        }
        return RegularFile::open(native);
    };
    DigestBatch batch(options);
    batch.submit(requestFor(file));
    compareWithReference(batch.takeNext(), everyAlgorithm(), referenceDigests(file));
    QCOMPARE(ownerBytes.load(), static_cast<quint64>(size));
    QCOMPARE(batch.bytesDone(), static_cast<quint64>(size));

    batch.submit(requestFor(QStringLiteral("one.endless"), {HashAlgorithm::Crc32, HashAlgorithm::Sha256}));
    QTRY_VERIFY(ownerBytes.load() > static_cast<quint64>(size) + 1'000'000);
    ownerCancelled.store(true);
    QCOMPARE(batch.takeNext().failure, DigestFailure::Cancelled);
    // Files submitted after the owner's cancel are not even opened.
    batch.submit(requestFor(file));
    QCOMPARE(batch.takeNext().failure, DigestFailure::Cancelled);
}

void TestDigestBatch::onlyTheExpectedVersionIsRead_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<DigestFailure>("failure");
    QTest::newRow("the version expected") << "" << DigestFailure::None;
    QTest::newRow("size differs") << "size" << DigestFailure::ChangedWhileRead;
    QTest::newRow("modified at another time") << "modified" << DigestFailure::ChangedWhileRead;
    QTest::newRow("another file at the path") << "inode" << DigestFailure::ChangedWhileRead;
}

// A file whose facts were shown is digested only in that version: any other found at opening fails before a byte is
// read, so no digest is shown beside facts it does not belong to.
void TestDigestBatch::onlyTheExpectedVersionIsRead()
{
    QFETCH(QString, change);
    QFETCH(DigestFailure, failure);
    const QString file = m_files.write("versioned-" + change, TempFiles::randomBytes(100'000, 8));
    QString error;
    std::optional<FileStatus> status = RegularFile::status(nativeOf(file), &error);
    QVERIFY2(status, qPrintable(error));
    FileIdentity expected = status->identity;
    if (change == QStringLiteral("size")) {
        expected.size += 1;
    } else if (change == QStringLiteral("modified")) {
        expected.modified.seconds -= 1;
    } else if (change == QStringLiteral("inode")) {
        expected.inode += 1;
    }
    int reads = 0;
    DigestBatchOptions options;
    options.opener = [&reads](const QByteArray& native) {
        OpenedFile opened = RegularFile::open(native);
        opened.reader = std::make_unique<MeddlingReader>(std::move(opened.reader), 1, [&reads] { ++reads; });
        return opened;
    };
    DigestBatch batch(options);
    DigestRequest request = requestFor(file, {HashAlgorithm::Md5});
    request.expectedVersion = expected;
    batch.submit(request);
    const FileDigests result = batch.takeNext();
    QCOMPARE(result.failure, failure);
    if (failure == DigestFailure::None) {
        QCOMPARE(QString::fromLatin1(result.digest(HashAlgorithm::Md5).toHex()),
                 referenceDigests(file).value(HashAlgorithm::Md5));
    } else {
        QCOMPARE(result.reason, WatchedReader::changedWhileReadReason());
        QCOMPARE(reads, 0);
    }
}

// Thousands of files through a bounded window of pending results: the pool's threads and nothing more.
void TestDigestBatch::manyFilesOnAFixedPool()
{
    constexpr int kFiles = 3000;
    constexpr std::size_t kMostPending = 8;
    QStringList paths;
    QByteArrayList expected;
    for (int i = 0; i < kFiles; ++i) {
        const QByteArray bytes = TempFiles::randomBytes(i % 9 == 0 ? 20'000 : i % 300, static_cast<quint32>(i));
        paths.append(m_files.write(QStringLiteral("many-%1").arg(i), bytes));
        expected.append(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256));
    }
    DigestBatchOptions options;
    options.workers = 3;
    options.blockSize = kSmallBlock;
    DigestBatch batch(options);
    const int threads = threadsOfThisProcess();
    int taken = 0;
    int mostThreads = threads;
    for (int i = 0; i < kFiles || batch.pending() > 0;) {
        if (i < kFiles && batch.pending() < kMostPending) {
            batch.submit(requestFor(paths[i++], {HashAlgorithm::Sha256, HashAlgorithm::Crc32, HashAlgorithm::Md5}));
            continue;
        }
        const FileDigests result = batch.takeNext();
        QVERIFY2(result.isOk(), qPrintable(result.reason));
        QCOMPARE(result.digest(HashAlgorithm::Sha256), expected[taken++]);
        mostThreads = std::max(mostThreads, threadsOfThisProcess());
    }
    QCOMPARE(taken, kFiles);
    QCOMPARE(mostThreads, threads);
}

// One worker, the digests asked for changing from file to file: a hasher kept from one file for the next starts
// afresh, and one left out for a while is there again when asked for. Qt's own hashes are the reference.
void TestDigestBatch::hashersKeptBetweenFilesStartAfresh()
{
    using A = HashAlgorithm;
    const QList<std::pair<A, QCryptographicHash::Algorithm>> checked = {{A::Md5, QCryptographicHash::Md5},
                                                                        {A::Sha1, QCryptographicHash::Sha1},
                                                                        {A::Sha256, QCryptographicHash::Sha256},
                                                                        {A::Sha3_256, QCryptographicHash::Sha3_256}};
    const QList<AlgorithmSet> sets = {{A::Md5, A::Sha256}, {A::Sha1},          {A::Md5, A::Sha1, A::Sha256},
                                      {A::Sha3_256},       {A::Md5},           {A::Sha256, A::Sha3_256},
                                      {A::Md5, A::Sha256}, {A::Md5, A::Sha256}};
    DigestBatchOptions options;
    options.workers = 1;
    options.blockSize = kSmallBlock;
    DigestBatch batch(options);
    for (int round = 0; round < 2; ++round) {
        for (qsizetype i = 0; i < sets.size(); ++i) {
            // Sizes on both sides of a block, and an empty file.
            const qsizetype size = i == 4 ? 0 : 300 * i + round * static_cast<qsizetype>(kSmallBlock);
            const QByteArray bytes = TempFiles::randomBytes(size, static_cast<quint32>(10 * round + i));
            batch.submit(requestFor(m_files.write(QStringLiteral("afresh-%1-%2").arg(round).arg(i), bytes), sets[i]));
            const FileDigests result = batch.takeNext();
            QVERIFY2(result.isOk(), qPrintable(result.reason));
            for (const auto& [ours, qts] : checked) {
                const QByteArray expected =
                    sets[i].contains(ours) ? QCryptographicHash::hash(bytes, qts) : QByteArray();
                QCOMPARE(result.digest(ours).toHex(), expected.toHex());
            }
        }
    }
}

void TestDigestBatch::lanesForAnySetOfDigests_data()
{
    QTest::addColumn<AlgorithmSet>("algorithms");
    QTest::addColumn<DigestCosts>("costs");
    QTest::addColumn<int>("cores");
    QTest::addColumn<QString>("plan");
    using A = HashAlgorithm;
    // Seconds per GiB on one machine with SHA instructions, indexed by HashAlgorithm.
    const DigestCosts measured{0.03, 1.42, 0.57, 0.80, 0.80, 1.10, 1.10, 2.40, 4.30, 0.90};
    QTest::newRow("one digest") << AlgorithmSet{A::Sha256} << measured << 2 << "SHA-256";
    QTest::newRow("the slowest alone") << AlgorithmSet{A::Sha3_512, A::Md5, A::Sha1} << measured << 2
                                       << "MD5, SHA-1 | SHA3-512";
    QTest::newRow("two of the same cost") << AlgorithmSet{A::Sha384, A::Sha512} << measured << 4 << "SHA-384 | SHA-512";
    const AlgorithmSet ten{A::Crc32,  A::Md5,    A::Sha1,     A::Sha256,   A::Sha224,
                           A::Sha384, A::Sha512, A::Sha3_256, A::Sha3_512, A::Blake2b};
    // 2^10 groupings: tried one by one.
    QTest::newRow("all ten, two cores")
        << ten << measured << 2
        << "BLAKE2b, CRC-32, MD5, SHA-1, SHA-224, SHA-256, SHA-384, SHA-512 | SHA3-256, SHA3-512";
    // 4^10 groupings: the largest first, each to the least loaded lane.
    QTest::newRow("all ten, four cores") << ten << measured << 4
                                         << "BLAKE2b, MD5, SHA-256 | CRC-32, SHA-1, SHA3-256 | SHA-224, SHA-384, "
                                            "SHA-512 | SHA3-512";
    QTest::newRow("nothing") << AlgorithmSet{} << measured << 2 << "";
}

void TestDigestBatch::lanesForAnySetOfDigests()
{
    QFETCH(AlgorithmSet, algorithms);
    QFETCH(DigestCosts, costs);
    QFETCH(int, cores);
    QFETCH(QString, plan);
    QCOMPARE(describeLanes(planLanes(algorithms, costs, cores)), plan);
}

void TestDigestBatch::changeTimeAloneReadsAgain_data()
{
    QTest::addColumn<bool>("sameBytesAgain");
    QTest::addColumn<int>("workers");
    QTest::newRow("the second read agrees") << true << 1;
    QTest::newRow("the second read agrees, 2 workers") << true << 2;
    // As if a writer had changed bytes and put the modification time back, unseen by any lease.
    QTest::newRow("the second read finds other bytes") << false << 1;
    QTest::newRow("the second read finds other bytes, 2 workers") << false << 2;
}

// Only the change time moved during the read: the file is read again, and its digests are given only when both reads
// agree; never those of either read alone when they differ.
void TestDigestBatch::changeTimeAloneReadsAgain()
{
    QFETCH(bool, sameBytesAgain);
    QFETCH(int, workers);
    const qsizetype size = 64 * static_cast<qsizetype>(kSmallBlock);
    const QString file = m_files.write(QStringLiteral("status-%1-%2").arg(sameBytesAgain).arg(workers),
                                       TempFiles::randomBytes(size, 21));
    const QString other =
        m_files.write(QStringLiteral("other-%1-%2").arg(sameBytesAgain).arg(workers), TempFiles::randomBytes(size, 22));
    backdate(file);
    backdate(other);
    int openings = 0;
    DigestBatchOptions options;
    options.workers = workers;
    options.blockSize = kSmallBlock;
    options.opener = [&](const QByteArray& native) {
        ++openings;
        if (openings == 1) {
            OpenedFile opened = RegularFile::open(native);
            opened.reader = std::make_unique<MeddlingReader>(std::move(opened.reader), 3, [&] {
                QVERIFY(QFile(file).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
            });
            return opened;
        }
        return RegularFile::open(sameBytesAgain ? native : QFile::encodeName(other));
    };
    DigestBatch batch(options);
    batch.submit(requestFor(file, AlgorithmSet{HashAlgorithm::Sha256}));
    const FileDigests result = batch.takeNext();
    QCOMPARE(openings, 2);
    if (sameBytesAgain) {
        QVERIFY2(result.isOk(), qPrintable(result.reason));
        QCOMPARE(QString::fromLatin1(result.digest(HashAlgorithm::Sha256).toHex()),
                 firstWordOf(QStringLiteral("sha256sum"), {file}));
    } else {
        QCOMPARE(result.failure, DigestFailure::ChangedWhileRead);
        QCOMPARE(result.reason, WatchedReader::changedWhileReadReason());
        QVERIFY(result.digest(HashAlgorithm::Sha256).isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestDigestBatch)
#include "TestDigestBatch.moc"
