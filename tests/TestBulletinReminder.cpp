#include "BulletinReminder.h"
#include "Clock.h"
#include "QtSettingsStore.h"
#include "TempFiles.h"
#include "WebLauncher.h"

#include <QTest>

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
    void settingsFileOfItsOwn();
    void emptyAddressTurnsTheReminderOff();

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

QTEST_GUILESS_MAIN(TestBulletinReminder)
#include "TestBulletinReminder.moc"
