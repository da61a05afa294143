#include "DigestEngine.h"
#include "GatedReader.h"
#include "TempFiles.h"
#include "WriteWatch.h"

#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <linux/magic.h>
#include <QDir>
#include <QProcess>
#include <QTest>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>

// Writers that change a file while it is read without the change showing in its size or time stamps. Each must fail
// the digest, never give the digest of a mix of versions; a file at rest must still get its digest.

Q_DECLARE_METATYPE(FileTime)
Q_DECLARE_METATYPE(std::chrono::nanoseconds)

namespace {

constexpr qsizetype kFileSize = 4 << 20; // several of the engine's blocks: a change after the first lands mid-read

// A file system that keeps whole seconds (ext4 with small inodes): every change within one second gets the same
// time stamps, as on FAT or a network share. Made on a loop device, which needs root.
class CoarseFileSystem
{
public:
    CoarseFileSystem()
    {
        const QString image = m_dir.filePath(QStringLiteral("image"));
        m_mountPoint = m_dir.filePath(QStringLiteral("mounted"));
        QFile file(image);
        if (::geteuid() != 0 || !file.open(QIODevice::WriteOnly) || !file.resize(32 << 20) ||
            !QDir().mkdir(m_mountPoint)) {
            return;
        }
        file.close();
        m_mounted = QProcess::execute(QStringLiteral("mkfs.ext4"), {"-q", "-F", "-I", "128", image}) == 0 &&
                    QProcess::execute(QStringLiteral("mount"), {"-o", "loop", image, m_mountPoint}) == 0;
    }
    ~CoarseFileSystem()
    {
        if (m_mounted) {
            QProcess::execute(QStringLiteral("umount"), {m_mountPoint});
        }
    }
    CoarseFileSystem(const CoarseFileSystem&) = delete;
    CoarseFileSystem& operator=(const CoarseFileSystem&) = delete;

    bool isMounted() const { return m_mounted; }
    QString path(const QString& name) const { return m_mountPoint + u'/' + name; }

private:
    QTemporaryDir m_dir;
    QString m_mountPoint;
    bool m_mounted = false;
};

// Just after a second begins, so that what follows stays within one tick of a clock that keeps whole seconds.
void startOfASecond()
{
    struct timespec now
    {
    };
    ::clock_gettime(CLOCK_REALTIME, &now);
    std::this_thread::sleep_for(std::chrono::nanoseconds(1'000'000'000 - now.tv_nsec + 5'000'000));
}

QByteArray nativeOf(const QString& path)
{
    return QFile::encodeName(path);
}

// Whether a reader of ours can hold a read lease on the file: then a writer that opens it mid-read waits for the
// lease and is seen, whatever it does to the time stamps.
bool leaseCanBeHeld(const QString& path)
{
    const int descriptor = ::open(nativeOf(path).constData(), O_RDONLY | O_CLOEXEC);
    const bool held = descriptor >= 0 && ::fcntl(descriptor, F_SETLEASE, F_RDLCK) == 0;
    if (descriptor >= 0) {
        ::close(descriptor);
    }
    return held;
}

// Whether some program holds a read lease on the inode, as the kernel lists its locks.
bool leaseHeldOn(ino_t inode)
{
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray suffix = ':' + QByteArray::number(static_cast<qulonglong>(inode));
    for (const QByteArray& line : locks.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 5 && fields[1] == "LEASE" && fields[3] == "READ" && fields[5].endsWith(suffix)) {
            return true;
        }
    }
    return false;
}

// Holds a write lease on the file named by its argument; asked to give it up, it waits 0.3 s and closes the file.
constexpr const char* kLeaseHolder = R"(
import fcntl, os, signal, sys, time
F_SETLEASE, F_WRLCK, F_UNLCK = 1024, 1, 2
descriptor = os.open(sys.argv[1], os.O_RDWR)
asked = []
signal.signal(signal.SIGIO, lambda *_: asked.append(True))
try:
    fcntl.fcntl(descriptor, F_SETLEASE, F_WRLCK)
except OSError as error:
    print(error, flush=True)
    sys.exit(0)
print("held", flush=True)
deadline = time.monotonic() + 20
while not asked and time.monotonic() < deadline:
    time.sleep(0.01)
time.sleep(0.3)
os.close(descriptor)  # lets go of the lease and of the file at once: no writer is left when the reader opens it
print("yielded" if asked else "never asked", flush=True)
)";

// A writer that opens the file mid-read and does its work. Where the reader holds a lease the opening waits until
// the reader gives it back, so the work goes on in a thread of its own, started once a non-blocking opening has
// begun breaking the lease: the reader's next block then finds it broken.
void writeMidRead(const QString& path, int flags, std::function<void(int)> work, std::thread* waiting)
{
    const QByteArray native = nativeOf(path);
    const int descriptor = ::open(native.constData(), flags | O_NONBLOCK | O_CLOEXEC);
    if (descriptor >= 0) {
        ::fcntl(descriptor, F_SETFL, 0);
        work(descriptor);
        return;
    }
    QCOMPARE(errno, EWOULDBLOCK);
    *waiting = std::thread([native, flags, work = std::move(work)] {
        const int late = ::open(native.constData(), flags | O_CLOEXEC);
        if (late >= 0) {
            work(late);
        }
    });
}

} // namespace

class TestChangingFiles : public QObject
{
    Q_OBJECT

private slots:
    void writersAreCaught_data();
    void writersAreCaught();
    void readingWaitsOutTheTickOfTheLastChange_data();
    void readingWaitsOutTheTickOfTheLastChange();
    void writerArrivingWhileWaitingOutATickIsRefused();
    void leaseIsHeldFromOpeningToTheLastByte();
    void writeLeaseHolderIsWaitedFor_data();
    void writeLeaseHolderIsWaitedFor();

private:
    TempFiles m_files;
    CoarseFileSystem m_coarse;
    QTemporaryDir m_inMemory{QStringLiteral("/dev/shm/keswin-test-XXXXXX")};
};

void TestChangingFiles::writersAreCaught_data()
{
    QTest::addColumn<QString>("writer");
    QTest::addColumn<QString>("place");  // "coarse": whole-second time stamps; "tmpfs": in memory
    QTest::addColumn<QString>("reason"); // empty: the digest is given
    const QString openForWriting =
        QStringLiteral("Another program has the file open for writing, so it can change while it is being read.");
    const QString changed = DigestEngine::changedWhileReadReason();
    QTest::newRow("shared writable mapping, flipped mid-read") << "mapping"
                                                               << "" << openForWriting;
    QTest::newRow("open for writing, rewritten in place mid-read") << "open"
                                                                   << "coarse" << openForWriting;
    QTest::newRow("same-size rewrite mid-read, time stamps put back") << "rewrite"
                                                                      << "coarse" << changed;
    // A mapping made after the opening: its first write moves the change time on disk file systems, and on tmpfs
    // nothing but the mapping itself tells.
    QTest::newRow("writable mapping made mid-read") << "late mapping"
                                                    << "" << changed;
    QTest::newRow("writable mapping made mid-read, tmpfs") << "late mapping"
                                                           << "tmpfs" << openForWriting;
    // Opened, mapped, written through the mapping, unmapped and closed between two looks at the file: on tmpfs no
    // time stamp moves and no writer is left to find, so only a lease held throughout sees it.
    QTest::newRow("writer come and gone mid-read, tmpfs") << "come and gone"
                                                          << "tmpfs" << openForWriting;
    // The change time alone moves: read again, the file gives the same digest, as the other tools give it.
    QTest::newRow("mode changed mid-read") << "chmod"
                                           << "" << QString();
    QTest::newRow("hard link made mid-read") << "link"
                                             << "" << QString();
    QTest::newRow("extended attribute written mid-read") << "xattr"
                                                         << "" << QString();
    QTest::newRow("access time set mid-read") << "touch -a"
                                              << "" << QString();
    QTest::newRow("mode changed mid-read, tmpfs") << "chmod"
                                                  << "tmpfs" << QString();
    QTest::newRow("at rest") << "none"
                             << "" << QString();
    QTest::newRow("at rest, on coarse time stamps") << "none"
                                                    << "coarse" << QString();
    QTest::newRow("at rest, tmpfs") << "none"
                                    << "tmpfs" << QString();
}

void TestChangingFiles::writersAreCaught()
{
    QFETCH(QString, writer);
    QFETCH(QString, place);
    QFETCH(QString, reason);
    const bool onCoarseStamps = place == QStringLiteral("coarse");
    if (onCoarseStamps && !m_coarse.isMounted()) {
        QSKIP("a file system with coarse time stamps needs root and a loop device");
    }
    struct statfs memory
    {
    };
    if (place == QStringLiteral("tmpfs") &&
        (!m_inMemory.isValid() || ::statfs(QFile::encodeName(m_inMemory.path()).constData(), &memory) != 0 ||
         memory.f_type != TMPFS_MAGIC)) {
        QSKIP("no tmpfs at /dev/shm");
    }
    const QString file = onCoarseStamps                     ? m_coarse.path(writer)
                         : place == QStringLiteral("tmpfs") ? m_inMemory.filePath(writer)
                                                            : m_files.path(writer);
    const QByteArray first(kFileSize, 'a');
    const QByteArray second(kFileSize, 'b');
    if (onCoarseStamps) {
        startOfASecond();
    }
    {
        QFile target(file);
        QVERIFY(target.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(target.write(first), kFileSize);
    }
    const int descriptor = ::open(nativeOf(file).constData(), O_RDWR | O_CLOEXEC);
    QVERIFY(descriptor >= 0);
    std::function<void()> meddle = [] {};
    std::atomic<void*> mapping{MAP_FAILED};
    std::thread waitingWriter;
    if (writer == QStringLiteral("mapping")) {
        // Written once before the read, so the pages are dirty: later writes to them move no time stamp until the
        // kernel writes them back. The descriptor is closed; the mapping alone keeps the file open for writing.
        mapping = ::mmap(nullptr, kFileSize, PROT_READ | PROT_WRITE, MAP_SHARED, descriptor, 0);
        QVERIFY(mapping != MAP_FAILED);
        std::memset(mapping.load(), 'a', kFileSize);
        meddle = [&] { std::memset(mapping.load(), 'b', kFileSize); };
    } else if (writer == QStringLiteral("late mapping")) {
        meddle = [&] {
            writeMidRead(
                file, O_RDWR,
                [&mapping](int late) {
                    mapping = ::mmap(nullptr, kFileSize, PROT_READ | PROT_WRITE, MAP_SHARED, late, 0);
                    ::close(late);
                    if (mapping != MAP_FAILED) {
                        std::memset(mapping.load(), 'b', kFileSize);
                    }
                },
                &waitingWriter);
        };
    } else if (writer == QStringLiteral("come and gone")) {
        meddle = [&] {
            writeMidRead(
                file, O_RDWR,
                [](int late) {
                    void* transient = ::mmap(nullptr, kFileSize, PROT_READ | PROT_WRITE, MAP_SHARED, late, 0);
                    ::close(late);
                    if (transient != MAP_FAILED) {
                        std::memset(transient, 'b', kFileSize);
                        ::munmap(transient, kFileSize);
                    }
                },
                &waitingWriter);
        };
    } else if (writer == QStringLiteral("chmod")) {
        meddle = [&] { QCOMPARE(::chmod(nativeOf(file).constData(), 0600), 0); };
    } else if (writer == QStringLiteral("link")) {
        meddle = [&] { QCOMPARE(::link(nativeOf(file).constData(), nativeOf(file + ".link").constData()), 0); };
    } else if (writer == QStringLiteral("xattr")) {
        meddle = [&] {
            if (::setxattr(nativeOf(file).constData(), "user.indexed", "1", 1, 0) != 0) {
                QCOMPARE(::chmod(nativeOf(file).constData(), 0600), 0); // no user attributes here
            }
        };
    } else if (writer == QStringLiteral("touch -a")) {
        meddle = [&] {
            const struct timespec times[2] = {{0, UTIME_NOW}, {0, UTIME_OMIT}};
            QCOMPARE(::utimensat(AT_FDCWD, nativeOf(file).constData(), times, 0), 0);
        };
    } else if (writer == QStringLiteral("open")) {
        meddle = [&] { QCOMPARE(::pwrite(descriptor, second.constData(), kFileSize, 0), kFileSize); };
    } else if (writer == QStringLiteral("rewrite")) {
        meddle = [&] {
            struct stat before
            {
            };
            QCOMPARE(::stat(nativeOf(file).constData(), &before), 0);
            writeMidRead(
                file, O_WRONLY | O_TRUNC,
                [native = nativeOf(file), before, &second](int rewritten) {
                    const bool written = ::write(rewritten, second.constData(), kFileSize) == kFileSize;
                    ::close(rewritten);
                    const struct timespec times[2] = {before.st_atim, before.st_mtim};
                    if (written) {
                        ::utimensat(AT_FDCWD, native.constData(), times, 0);
                    }
                },
                &waitingWriter);
        };
    }
    if (writer != QStringLiteral("open")) {
        ::close(descriptor);
    }

    // Once: a second reading, where the first saw only the change time move, finds the file at rest.
    meddle = [inner = meddle, done = std::make_shared<bool>(false)] {
        if (!std::exchange(*done, true)) {
            inner();
        }
    };
    DigestEngine engine([&](const QByteArray& path) {
        OpenedFile opened = RegularFile::open(path);
        if (opened.reader) {
            opened.reader = std::make_unique<MeddlingReader>(std::move(opened.reader), 2, meddle);
        }
        return opened;
    });
    const QString expected = firstWordOf(QStringLiteral("sha256sum"), {file});
    const DigestOutcome outcome = engine.DigestFile(DigestKind::Sha256, file);
    if (waitingWriter.joinable()) {
        waitingWriter.join();
    }
    if (mapping != MAP_FAILED) {
        ::munmap(mapping.load(), kFileSize);
    }
    if (writer == QStringLiteral("open")) {
        ::close(descriptor);
    }
    // A writer that opens the file mid-read breaks the lease held, and is told by name rather than by time stamps.
    const bool opensMidRead = writer == QStringLiteral("late mapping") || writer == QStringLiteral("rewrite") ||
                              writer == QStringLiteral("come and gone");
    if (opensMidRead && leaseCanBeHeld(file)) {
        reason = QStringLiteral("Another program has the file open for writing, so it can change while it is being "
                                "read.");
    } else if (writer == QStringLiteral("come and gone")) {
        QSKIP("without a lease, a writer come and gone on tmpfs leaves no trace");
    }
    if (reason.isEmpty()) {
        QVERIFY2(outcome.isOk(), qPrintable(outcome.reason));
        QCOMPARE(outcome.digest, expected);
    } else {
        QVERIFY2(!outcome.isOk(), qPrintable(QStringLiteral("a digest was given: ") + outcome.digest));
        QVERIFY(outcome.digest.isEmpty());
        QCOMPARE(outcome.reason, reason);
    }
}

void TestChangingFiles::readingWaitsOutTheTickOfTheLastChange_data()
{
    using namespace std::chrono_literals;
    QTest::addColumn<FileTime>("changed");
    QTest::addColumn<FileTime>("now");
    QTest::addColumn<std::chrono::nanoseconds>("wait");
    // The kernel's clock for time stamps may lag ours by up to 20 ms; the tick is told by the stamp's nanoseconds.
    QTest::newRow("nanosecond stamp, a second old")
        << FileTime{100, 123'456'789} << FileTime{101, 123'456'789} << std::chrono::nanoseconds(0ns);
    QTest::newRow("nanosecond stamp, 5 ms old")
        << FileTime{100, 123'456'789} << FileTime{100, 128'456'789} << std::chrono::nanoseconds(15ms + 1ns);
    QTest::newRow("nanosecond stamp, just past the lag")
        << FileTime{100, 123'456'789} << FileTime{100, 143'456'790} << std::chrono::nanoseconds(0ns);
    QTest::newRow("10 ms stamp, 10 ms old")
        << FileTime{100, 120'000'000} << FileTime{100, 130'000'000} << std::chrono::nanoseconds(20ms);
    QTest::newRow("whole-second stamp, a second old")
        << FileTime{100, 0} << FileTime{101, 0} << std::chrono::nanoseconds(1020ms);
    QTest::newRow("whole-second stamp, two ticks of FAT old")
        << FileTime{100, 0} << FileTime{102, 20'000'000} << std::chrono::nanoseconds(0ns);
    QTest::newRow("stamp 10 ms ahead of our clock")
        << FileTime{100, 123'456'789} << FileTime{100, 113'456'789} << std::chrono::nanoseconds(30ms + 1ns);
    QTest::newRow("stamp an hour ahead: another clock")
        << FileTime{3700, 123'456'789} << FileTime{100, 0} << std::chrono::nanoseconds(0ns);
}

void TestChangingFiles::readingWaitsOutTheTickOfTheLastChange()
{
    QFETCH(FileTime, changed);
    QFETCH(FileTime, now);
    QFETCH(std::chrono::nanoseconds, wait);
    QCOMPARE(WriteWatch::settlingTime(changed, now).count(), wait.count());
}

// Whether the thread sleeps in the system (nanosleep or clock_nanosleep), as told by the kernel: a state to wait for.
bool isSleeping(pid_t thread)
{
    QFile syscall(QStringLiteral("/proc/self/task/%1/syscall").arg(thread));
    if (!syscall.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray number = syscall.readAll().split(' ').value(0);
    return number == "35" || number == "230";
}

void TestChangingFiles::writerArrivingWhileWaitingOutATickIsRefused()
{
    // A writer that opens the file while the opening waits out the tick of its last change may begin a long write
    // then, stamped before the identity is taken and copying on through the read: it must be seen. With a read
    // lease held from the start there is no tick to wait out: the opening never sleeps, and a writer arriving
    // then breaks the lease and fails the read.
    const QString file = m_files.write(QStringLiteral("waited"), QByteArray(4096, 'a'));
    if (!leaseCanBeHeld(file)) {
        QSKIP("no read lease can be had here");
    }
    for (int attempt = 0; attempt < 5; ++attempt) {
        QVERIFY(::chmod(nativeOf(file).constData(), attempt % 2 ? 0600 : 0644) == 0); // a change just now
        std::atomic<pid_t> openerThread{0};
        std::atomic<bool> done{false};
        bool slept = false;
        OpenedFile opened;
        std::thread opener([&] {
            openerThread = ::gettid();
            opened = RegularFile::open(nativeOf(file));
            done = true;
        });
        while (!done) {
            slept = slept || (openerThread != 0 && isSleeping(openerThread));
            std::this_thread::yield();
        }
        opener.join();
        QVERIFY2(!slept, "the opening waited out a tick with a lease held");
        QVERIFY2(opened.reader, qPrintable(opened.error));
        const int writer = ::open(nativeOf(file).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        QCOMPARE(writer, -1); // it waits for the lease: begun, the break ends the read at its next block
        QCOMPARE(errno, EWOULDBLOCK);
        QByteArray block(4096, Qt::Uninitialized);
        QCOMPARE(opened.reader->read(std::span<std::byte>(reinterpret_cast<std::byte*>(block.data()), block.size())),
                 qint64{-1});
        QVERIFY(opened.reader->beingWritten());
    }
}

void TestChangingFiles::leaseIsHeldFromOpeningToTheLastByte()
{
    const QString file = m_files.write(QStringLiteral("leased"), QByteArray(kFileSize, 'a'));
    if (!leaseCanBeHeld(file)) {
        QSKIP("no read lease can be had here");
    }
    struct stat info
    {
    };
    QCOMPARE(::stat(nativeOf(file).constData(), &info), 0);
    QStringList seen;
    const auto look = [&] { seen << (leaseHeldOn(info.st_ino) ? QStringLiteral("held") : QStringLiteral("free")); };
    OpenedFile opened = RegularFile::open(nativeOf(file));
    QVERIFY2(opened.reader, qPrintable(opened.error));
    look();
    QByteArray block(64 << 10, Qt::Uninitialized);
    const std::span<std::byte> buffer(reinterpret_cast<std::byte*>(block.data()), block.size());
    qint64 total = 0;
    for (qint64 count = 0; (count = opened.reader->read(buffer)) > 0;) {
        total += count;
    }
    QCOMPARE(total, qint64{kFileSize});
    QVERIFY(opened.reader->currentIdentity().has_value());
    look();
    opened.reader.reset();
    look();
    QCOMPARE(seen, (QStringList{"held", "held", "free"}));
}

void TestChangingFiles::writeLeaseHolderIsWaitedFor_data()
{
    QTest::addColumn<bool>("anyFile");
    QTest::newRow("regular file opener") << false;
    QTest::newRow("command-line opener") << true;
}

void TestChangingFiles::writeLeaseHolderIsWaitedFor()
{
    // A file server's oplock: another program holds a write lease and gives it up a while after it is asked to, as
    // the lease-break time allows. The reader waits for it as a blocking opening would, then digests the file.
    QFETCH(bool, anyFile);
    const QByteArray content = TempFiles::randomBytes(1 << 20, 7);
    const QString file = m_files.write(QStringLiteral("oplocked"), content);
    QProcess holder;
    holder.start(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromLatin1(kLeaseHolder), file});
    QVERIFY(holder.waitForStarted());
    QVERIFY(holder.waitForReadyRead(10000));
    const QByteArray answer = holder.readLine().trimmed();
    if (answer != "held") {
        holder.waitForFinished();
        QSKIP(qPrintable(QStringLiteral("no write lease to be had here: ") + QString::fromUtf8(answer)));
    }
    OpenedFile opened = anyFile ? AnyFile::open(nativeOf(file)) : RegularFile::open(nativeOf(file));
    QVERIFY2(opened.reader, qPrintable(opened.error));
    QByteArray read(content.size() + 1, Qt::Uninitialized);
    const qint64 count =
        opened.reader->read(std::span<std::byte>(reinterpret_cast<std::byte*>(read.data()), read.size()));
    QCOMPARE(count, qint64{content.size()});
    QVERIFY(read.first(count) == content);
    QVERIFY(holder.waitForFinished(10000));
    QCOMPARE(holder.readAll().trimmed(), QByteArray("yielded"));
}

QTEST_GUILESS_MAIN(TestChangingFiles)
#include "TestChangingFiles.moc"
