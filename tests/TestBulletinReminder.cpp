#include "BulletinReminder.h"
#include "Clock.h"
#include "QtSettingsStore.h"
#include "TempFiles.h"
#include "WebLauncher.h"

#include <chrono>
#include <ctime>
#include <fcntl.h>
#include <future>
#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kAddress = QStringLiteral("https://bulletin.test/bulletin.php");

class FixedClock final : public Clock
{
public:
    explicit FixedClock(QDateTime now) : m_now(std::move(now)) {}
    QDateTime now() const override { return m_now; }

private:
    QDateTime m_now;
};

// Records each address instead of opening a browser, with what the setting held at that moment.
class RecordingLauncher final : public WebLauncher
{
public:
    explicit RecordingLauncher(SettingsStore& settings) : m_settings(settings) {}
    bool open(const QString& address) override
    {
        addresses.append(address);
        settingAtLaunch = m_settings.read(QStringLiteral("Checkup"), QStringLiteral("Site"));
        return false; // no browser: the reminder must not care
    }
    QStringList addresses;
    QString settingAtLaunch;

private:
    SettingsStore& m_settings;
};

// A store that reads but whose writes never take hold, as a read-only settings file is for its owner.
class ReadOnlyStore final : public SettingsStore
{
public:
    explicit ReadOnlyStore(SettingsStore& inner) : m_inner(inner) {}
    QString read(const QString& section, const QString& key) override { return m_inner.read(section, key); }
    bool write(const QString&, const QString&, const QString&) override { return false; }

private:
    SettingsStore& m_inner;
};

QDateTime at(const char* text)
{
    return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate);
}

} // namespace

class TestBulletinReminder : public QObject
{
    Q_OBJECT

private slots:
    void opensAfterMoreThanThirtyCalendarDays_data();
    void opensAfterMoreThanThirtyCalendarDays();
    void storeThatCannotBeWrittenNeverOpensThePage();
    void whatTheFileHoldsAsItIs_data();
    void whatTheFileHoldsAsItIs();
    void settingsFileOfItsOwn();
    void settingsFileThatIsNoneIsLeftAlone_data();
    void settingsFileThatIsNoneIsLeftAlone();
    void emptyAddressTurnsTheReminderOff();
    void storedDateIsTheWholeText_data();
    void storedDateIsTheWholeText();

private:
    TempFiles m_files;
};

void TestBulletinReminder::opensAfterMoreThanThirtyCalendarDays_data()
{
    QTest::addColumn<QString>("stored"); // "<absent>" for no setting at all
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("after");
    QTest::addColumn<bool>("opened");
    const QDateTime now = at("2026-12-07T09:30:00");
    QTest::newRow("first start") << "<absent>" << now << "2026-12-07T09:30:00" << false;
    QTest::newRow("blank") << "   " << now << "2026-12-07T09:30:00" << false;
    QTest::newRow("30 days: not yet") << "2026-11-07T23:00:00" << now << "2026-11-07T23:00:00" << false;
    QTest::newRow("31 days") << "2026-11-06T10:00:00" << now << "2026-12-07T09:30:00" << true;
    QTest::newRow("31 days, spaces around") << "  2026-11-06T10:00:00 " << now << "2026-12-07T09:30:00" << true;
    QTest::newRow("late evening to early morning is one day")
        << "2026-12-06T23:59:59" << at("2026-12-07T00:00:01") << "2026-12-06T23:59:59" << false;
    QTest::newRow("31 calendar days, under 31 times 24 hours")
        << "2026-11-05T23:59:00" << at("2026-12-06T00:01:00") << "2026-12-06T00:01:00" << true;
    QTest::newRow("date in the future") << "2027-03-01T08:00:00" << now << "2027-03-01T08:00:00" << false;
    QTest::newRow("a year later") << "2025-12-07T09:30:00" << now << "2026-12-07T09:30:00" << true;
    QTest::newRow("unreadable: a first start") << "7/11/2026 9:30" << now << "2026-12-07T09:30:00" << false;
    QTest::newRow("garbage: a first start") << "<b>\"\n" << now << "2026-12-07T09:30:00" << false;
}

void TestBulletinReminder::opensAfterMoreThanThirtyCalendarDays()
{
    QFETCH(QString, stored);
    QFETCH(QDateTime, now);
    QFETCH(QString, after);
    QFETCH(bool, opened);
    QtSettingsStore settings(m_files.path(QStringLiteral("QDX-%1.conf").arg(QTest::currentDataTag())));
    if (stored != u"<absent>") {
        QVERIFY(settings.write(QStringLiteral("Checkup"), QStringLiteral("Site"), stored));
    }
    RecordingLauncher launcher(settings);
    runBulletinReminder(settings, FixedClock(now), launcher, kAddress);
    QCOMPARE(settings.read(QStringLiteral("Checkup"), QStringLiteral("Site")), after);
    QCOMPARE(launcher.addresses, opened ? QStringList{kAddress} : QStringList{});
    if (opened) {
        QCOMPARE(launcher.settingAtLaunch, after); // the new date is stored before the page is opened
    }
}

void TestBulletinReminder::storeThatCannotBeWrittenNeverOpensThePage()
{
    // A settings file whose folder cannot be made: a regular file stands where the folder should be.
    m_files.write(QStringLiteral("not a folder"), "x");
    QtSettingsStore unwritable(m_files.path(QStringLiteral("not a folder/QDX.conf")));
    RecordingLauncher launcher(unwritable);
    runBulletinReminder(unwritable, FixedClock(at("2026-12-07T09:30:00")), launcher, kAddress);
    QVERIFY(launcher.addresses.isEmpty());

    // A store holding a date long past that cannot take the new one: opening now would open at every start.
    QtSettingsStore old(m_files.path(QStringLiteral("old.conf")));
    QVERIFY(old.write(QStringLiteral("Checkup"), QStringLiteral("Site"), QStringLiteral("2020-01-01T00:00:00")));
    ReadOnlyStore readOnly(old);
    RecordingLauncher second(readOnly);
    runBulletinReminder(readOnly, FixedClock(at("2026-12-07T09:30:00")), second, kAddress);
    QVERIFY(second.addresses.isEmpty());
}

void TestBulletinReminder::whatTheFileHoldsAsItIs_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("zone");
    QTest::addColumn<bool>("opened");
    // A malformed line elsewhere leaves a format error from reading, which must not pass for a failed write.
    QTest::newRow("malformed line elsewhere")
        << QByteArray("[Other\nx=1\n[Checkup]\nSite=2020-01-01T00:00:00\n") << "UTC" << true;
    QTest::newRow("a line without =") << QByteArray("junk\n[Checkup]\nSite=2020-01-01T00:00:00\n") << "UTC" << true;
    // 02:30 on the last Sunday of March does not exist in Berlin; it is still a date eight months back.
    QTest::newRow("in the hour skipped in spring")
        << QByteArray("[Checkup]\nSite=2026-03-29T02:30:00\n") << "Europe/Berlin" << true;
    // Never written by the program: unreadable, so a first start, whatever the zone would make of the date.
    QTest::newRow("with a zone") << QByteArray("[Checkup]\nSite=2026-11-06T23:30:00Z\n") << "UTC" << false;
    QTest::newRow("date alone") << QByteArray("[Checkup]\nSite=2020-01-01\n") << "UTC" << false;
    QTest::newRow("year one") << QByteArray("[Checkup]\nSite=0001-01-01T00:00:00\n") << "UTC" << true;
    QTest::newRow("markup and quotes") << QByteArray("[Checkup]\nSite=<b>\"2020\"</b>\n") << "UTC" << false;
}

// Files as a person or another program may have left them, written byte for byte.
void TestBulletinReminder::whatTheFileHoldsAsItIs()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, zone);
    QFETCH(bool, opened);
    const QByteArray before = qgetenv("TZ");
    qputenv("TZ", zone.toLatin1());
    tzset();
    const QString path = m_files.write(QStringLiteral("raw-%1.conf").arg(QTest::currentDataTag()), file);
    QtSettingsStore settings(path);
    RecordingLauncher launcher(settings);
    runBulletinReminder(settings, FixedClock(QDateTime(QDate(2026, 12, 7), QTime(9, 30))), launcher, kAddress);
    qputenv("TZ", before);
    tzset();
    QCOMPARE(launcher.addresses.size(), opened ? 1 : 0);
    // Either way the date of this start is what the file holds now.
    QCOMPARE(settings.read(QStringLiteral("Checkup"), QStringLiteral("Site")), QStringLiteral("2026-12-07T09:30:00"));
}

// The file the program's own store writes, with its group and key, under the user's configuration folder.
void TestBulletinReminder::settingsFileOfItsOwn()
{
    const QString home = m_files.path(QStringLiteral("config"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home));
    {
        QtSettingsStore settings;
        RecordingLauncher launcher(settings);
        runBulletinReminder(settings, FixedClock(at("2026-12-07T09:30:00")), launcher, kAddress);
    }
    QFile file(home + QStringLiteral("/QDX.conf"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("[Checkup]\nSite=2026-12-07T09:30:00\n"));
}

void TestBulletinReminder::settingsFileThatIsNoneIsLeftAlone_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("a FIFO") << "fifo";
    QTest::newRow("a huge file") << "huge";
}

// Read at start-up, before the window shows: a FIFO would block for good, a huge file take seconds and gigabytes.
// Either is read as empty, never written, and the page is not opened.
void TestBulletinReminder::settingsFileThatIsNoneIsLeftAlone()
{
    QFETCH(QString, kind);
    const QString home = m_files.path(QStringLiteral("odd config ") + kind);
    QVERIFY(QDir().mkpath(home));
    const QString path = home + QStringLiteral("/QDX.conf");
    if (kind == u"fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else {
        QFile huge(path);
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(1) << 30));
    }
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home));
    auto made = std::async(std::launch::async, [] { return std::make_unique<QtSettingsStore>(); });
    if (made.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        // Let the blocked open go before failing, or the test would hang on the future.
        const int writer = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
        ::close(writer);
        QFAIL("making the settings store blocked on the file");
    }
    const std::unique_ptr<QtSettingsStore> settings = made.get();
    RecordingLauncher launcher(*settings);
    runBulletinReminder(*settings, FixedClock(at("2026-12-07T09:30:00")), launcher, kAddress);
    QVERIFY(launcher.addresses.isEmpty());
    QCOMPARE(QFileInfo(path).isFile(), kind == u"huge");
    if (kind == u"huge") {
        QCOMPARE(QFileInfo(path).size(), qint64(1) << 30);
    }
}

void TestBulletinReminder::emptyAddressTurnsTheReminderOff()
{
    QtSettingsStore settings(m_files.path(QStringLiteral("off.conf")));
    QVERIFY(settings.write(QStringLiteral("Checkup"), QStringLiteral("Site"), QStringLiteral("2020-01-01T00:00:00")));
    RecordingLauncher launcher(settings);
    runBulletinReminder(settings, FixedClock(at("2026-12-07T09:30:00")), launcher, QString());
    QVERIFY(launcher.addresses.isEmpty());
    QCOMPARE(settings.read(QStringLiteral("Checkup"), QStringLiteral("Site")), QStringLiteral("2020-01-01T00:00:00"));

    QtSettingsStore fresh(m_files.path(QStringLiteral("never.conf")));
    runBulletinReminder(fresh, FixedClock(at("2026-12-07T09:30:00")), launcher, QString());
    QVERIFY(!QFile::exists(m_files.path(QStringLiteral("never.conf"))));
}

void TestBulletinReminder::storedDateIsTheWholeText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date"); // invalid: none
    QTest::newRow("as written") << "2026-01-02T03:04:05" << QDate(2026, 1, 2);
    QTest::newRow("a line break after it") << "2026-01-02T03:04:05\n" << QDate();
    QTest::newRow("a blank before it") << " 2026-01-02T03:04:05" << QDate();
    QTest::newRow("no such day") << "2026-02-30T03:04:05" << QDate();
    QTest::newRow("digits of another script") << QString::fromUtf8("\u0662026-01-02T03:04:05") << QDate();
}

void TestBulletinReminder::storedDateIsTheWholeText()
{
    QFETCH(QString, text);
    QFETCH(QDate, date);
    QCOMPARE(storedBulletinDate(text).value_or(QDate()), date);
}

QTEST_GUILESS_MAIN(TestBulletinReminder)
#include "TestBulletinReminder.moc"
