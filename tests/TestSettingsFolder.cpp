#include "BulletinReminder.h"
#include "Clock.h"
#include "DetachedBulletinReminder.h"
#include "QtSettingsStore.h"
#include "TempFiles.h"
#include "WebLauncher.h"

#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <QDir>
#include <QTest>
#include <QThread>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utime.h>

namespace {

const QString kAddress = QStringLiteral("https://bulletin.test/bulletin.php");

class FixedClock final : public Clock
{
public:
    QDateTime now() const override { return QDateTime(QDate(2026, 12, 7), QTime(9, 30)); }
};

class RecordingLauncher final : public WebLauncher
{
public:
    bool open(const QString& address) override
    {
        addresses.append(address);
        threads.append(QThread::currentThread());
        return true;
    }
    QStringList addresses;
    QList<QThread*> threads;
};

// What the store's making and one write came to, told by a thread that may never come back.
struct WriteOutcome
{
    std::mutex mutex;
    std::condition_variable done;
    std::optional<bool> written;
};

// A store that holds its reader until let go, as one on a share that stopped answering would; it then holds a date
// long past, so the page is due.
class GatedStore final : public SettingsStore
{
public:
    struct Gate
    {
        std::mutex mutex;
        std::condition_variable opened;
        bool open = false;
    };
    explicit GatedStore(std::shared_ptr<Gate> gate) : m_gate(std::move(gate)) {}
    QString read(const QString&, const QString&) override
    {
        std::unique_lock lock(m_gate->mutex);
        m_gate->opened.wait(lock, [this] { return m_gate->open; });
        return QStringLiteral("2026-01-01T00:00:00");
    }
    bool write(const QString&, const QString&, const QString&) override { return true; }

private:
    std::shared_ptr<Gate> m_gate;
};

void letGo(GatedStore::Gate& gate)
{
    std::lock_guard lock(gate.mutex);
    gate.open = true;
    gate.opened.notify_all();
}

} // namespace

class TestSettingsFolder : public QObject
{
    Q_OBJECT

private slots:
    void hostileEntriesNeverHoldStartUp_data();
    void hostileEntriesNeverHoldStartUp();
    void reminderNeverHoldsTheWindowsThread();
    void noPageOnceTheWindowIsGone();

private:
    TempFiles m_files;
};

void TestSettingsFolder::hostileEntriesNeverHoldStartUp_data()
{
    QTest::addColumn<QString>("entry"); // beside the store, in the configuration folder
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("written");
    QTest::newRow("nothing there") << "QDX.conf.lock"
                                   << "none" << true;
    QTest::newRow("stale lock of a writer long gone") << "QDX.conf.lock"
                                                      << "stale" << true;
    QTest::newRow("FIFO at the lock") << "QDX.conf.lock"
                                      << "fifo" << false;
    QTest::newRow("folder at the lock") << "QDX.conf.lock"
                                        << "folder" << false;
    QTest::newRow("lock linked to a FIFO") << "QDX.conf.lock"
                                           << "link to fifo" << false;
    QTest::newRow("lock linked to an endless device") << "QDX.conf.lock"
                                                      << "link to /dev/zero" << false;
    QTest::newRow("lock linked to a stale lock") << "QDX.conf.lock"
                                                 << "link to stale" << false;
    QTest::newRow("huge lock") << "QDX.conf.lock"
                               << "huge" << false;
    QTest::newRow("unreadable lock") << "QDX.conf.lock"
                                     << "unreadable" << false;
    QTest::newRow("store linked to a FIFO") << "QDX.conf"
                                            << "link to fifo" << false;
    QTest::newRow("folder at the store") << "QDX.conf"
                                         << "folder" << false;
}

// A first start writes the setting. Whatever stands in the folder, making the store and writing return promptly;
// what is not ours is left as it was and nothing is written.
void TestSettingsFolder::hostileEntriesNeverHoldStartUp()
{
    QFETCH(QString, entry);
    QFETCH(QString, kind);
    QFETCH(bool, written);
    if (kind == u"unreadable" && ::geteuid() == 0) {
        QSKIP("permissions do not hold for root");
    }
    const QString home = m_files.path(QStringLiteral("config ") + QTest::currentDataTag());
    QVERIFY(QDir().mkpath(home));
    const QString path = home + u'/' + entry;
    const QByteArray native = QFile::encodeName(path);
    const QByteArray fifo = QFile::encodeName(home + QStringLiteral("/fifo"));
    const QByteArray stale = QFile::encodeName(home + QStringLiteral("/stale"));
    QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
    {
        // A lock's three lines: a process that is no more, and written an hour ago.
        QFile lock(QFile::decodeName(stale));
        QVERIFY(lock.open(QIODevice::WriteOnly) && lock.write("4194302\nkeswin-hash\nnowhere\n") > 0);
        lock.close();
        const utimbuf hourAgo{std::time(nullptr) - 3600, std::time(nullptr) - 3600};
        QCOMPARE(::utime(stale.constData(), &hourAgo), 0);
    }
    if (kind == u"stale") {
        QCOMPARE(::rename(stale.constData(), native.constData()), 0);
    } else if (kind == u"fifo") {
        QCOMPARE(::mkfifo(native.constData(), 0600), 0);
    } else if (kind == u"folder") {
        QVERIFY(QDir().mkpath(path));
    } else if (kind == u"link to fifo") {
        QCOMPARE(::symlink(fifo.constData(), native.constData()), 0);
    } else if (kind == u"link to /dev/zero") {
        QCOMPARE(::symlink("/dev/zero", native.constData()), 0);
    } else if (kind == u"link to stale") {
        QCOMPARE(::symlink(stale.constData(), native.constData()), 0);
    } else if (kind == u"huge") {
        m_files.writeSparse(QStringLiteral("config ") + QTest::currentDataTag() + u'/' + entry, qint64(1) << 30);
    } else if (kind == u"unreadable") {
        QCOMPARE(::rename(stale.constData(), native.constData()), 0);
        QCOMPARE(::chmod(native.constData(), 0), 0);
    }
    struct stat before
    {
    };
    const bool existed = ::lstat(native.constData(), &before) == 0;

    // On a thread that may hang: the test must fail, not hang with it.
    auto outcome = std::make_shared<WriteOutcome>();
    std::thread([outcome, store = home + QStringLiteral("/QDX.conf")] {
        QtSettingsStore settings(store);
        const bool ok = settings.write(QStringLiteral("Checkup"), QStringLiteral("Site"), QStringLiteral("x"));
        std::lock_guard lock(outcome->mutex);
        outcome->written = ok;
        outcome->done.notify_all();
    }).detach();
    std::unique_lock lock(outcome->mutex);
    if (!outcome->done.wait_for(lock, std::chrono::seconds(10), [&] { return outcome->written.has_value(); })) {
        QFAIL("the settings store hung on what the folder holds");
    }
    QCOMPARE(*outcome->written, written);

    struct stat after
    {
    };
    if (written) {
        QFile store(home + QStringLiteral("/QDX.conf"));
        QVERIFY(store.open(QIODevice::ReadOnly));
        QCOMPARE(store.readAll(), QByteArray("[Checkup]\nSite=x\n"));
        QVERIFY(::lstat(QFile::encodeName(home + QStringLiteral("/QDX.conf.lock")).constData(), &after) != 0);
    } else {
        QVERIFY(existed);
        QCOMPARE(::lstat(native.constData(), &after), 0);
        QCOMPARE(after.st_mode, before.st_mode);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(QFileInfo::exists(home + QStringLiteral("/QDX.conf")), entry == u"QDX.conf");
    }
}

// The reminder runs while the store hangs; the page, once due, is opened on the thread that started it.
void TestSettingsFolder::reminderNeverHoldsTheWindowsThread()
{
    auto gate = std::make_shared<GatedStore::Gate>();
    RecordingLauncher launcher;
    {
        DetachedBulletinReminder reminder([gate] { return std::make_unique<GatedStore>(gate); },
                                          std::make_shared<FixedClock>(), launcher, kAddress);
        reminder.start(); // a reminder on this thread would never return
        QCOMPARE(DetachedBulletinReminder::liveWorkers(), 1);
        QTest::qWait(50);
        QVERIFY(launcher.addresses.isEmpty());
        letGo(*gate);
        QTRY_COMPARE(launcher.addresses, QStringList{kAddress});
        QCOMPARE(launcher.threads, QList<QThread*>{QThread::currentThread()});
    }
    QTRY_COMPARE(DetachedBulletinReminder::liveWorkers(), 0);
}

// A worker that comes back after the window has gone opens nothing and frees what it holds.
void TestSettingsFolder::noPageOnceTheWindowIsGone()
{
    auto gate = std::make_shared<GatedStore::Gate>();
    RecordingLauncher launcher;
    {
        DetachedBulletinReminder reminder([gate] { return std::make_unique<GatedStore>(gate); },
                                          std::make_shared<FixedClock>(), launcher, kAddress);
        reminder.start();
    }
    letGo(*gate);
    QTRY_COMPARE(DetachedBulletinReminder::liveWorkers(), 0);
    QCoreApplication::processEvents();
    QVERIFY(launcher.addresses.isEmpty());

    DetachedBulletinReminder off([gate] { return std::make_unique<GatedStore>(gate); }, std::make_shared<FixedClock>(),
                                 launcher, QString());
    off.start();
    QCOMPARE(DetachedBulletinReminder::liveWorkers(), 0);
}

QTEST_GUILESS_MAIN(TestSettingsFolder)
#include "TestSettingsFolder.moc"
