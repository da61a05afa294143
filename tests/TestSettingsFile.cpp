#include "IniLines.h"
#include "QtSettingsStore.h"
#include "TempFiles.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <sys/stat.h>

namespace {

const QString kSection = QStringLiteral("Checkup");
const QString kKey = QStringLiteral("Site");
const QString kDate = QStringLiteral("2026-12-07T09:30:00");

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT

private slots:
    void writeKeepsEveryOtherByte_data();
    void writeKeepsEveryOtherByte();
    void valuesReadBackAsWritten_data();
    void valuesReadBackAsWritten();
    void writeKeepsTheFilesModeAndLink();
    void randomFilesKeepTheirOtherLines();
    void copiesStartedTogetherOpenThePageOnce();

private:
    TempFiles m_files;
};

void TestSettingsFile::writeKeepsEveryOtherByte_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QString>("oldValue"); // what the key read before the write
    QTest::newRow("empty file") << QByteArray() << QByteArray("[Checkup]\nSite=2026-12-07T09:30:00\n") << "";
    QTest::newRow("a line no reader understands, in another group")
        << QByteArray("[General]\n\xff\xfe=\"unclosed\n%%%\n")
        << QByteArray("[General]\n\xff\xfe=\"unclosed\n%%%\n\n[Checkup]\nSite=2026-12-07T09:30:00\n") << "";
    QTest::newRow("comments and other keys kept around the one changed")
        << QByteArray("; mine\n[Checkup]\n# note\nOther = 1\nSite=2020-01-01T00:00:00\nLast=x\n")
        << QByteArray("; mine\n[Checkup]\n# note\nOther = 1\nSite=2026-12-07T09:30:00\nLast=x\n")
        << "2020-01-01T00:00:00";
    QTest::newRow("CR LF throughout")
        << QByteArray("[A]\r\nk=v\r\n[Checkup]\r\nSite=2020-01-01T00:00:00\r\n[B]\r\nz=1\r\n")
        << QByteArray("[A]\r\nk=v\r\n[Checkup]\r\nSite=2026-12-07T09:30:00\r\n[B]\r\nz=1\r\n") << "2020-01-01T00:00:00";
    QTest::newRow("CR LF, group to add") << QByteArray("[A]\r\nk=v\r\n")
                                         << QByteArray("[A]\r\nk=v\r\n\r\n[Checkup]\r\nSite=2026-12-07T09:30:00\r\n")
                                         << "";
    QTest::newRow("no line end at the last line")
        << QByteArray("[Checkup]\nSite=2020-01-01T00:00:00") << QByteArray("[Checkup]\nSite=2026-12-07T09:30:00")
        << "2020-01-01T00:00:00";
    QTest::newRow("no line end, group to add")
        << QByteArray("[A]\nk=v") << QByteArray("[A]\nk=v\n\n[Checkup]\nSite=2026-12-07T09:30:00\n") << "";
    QTest::newRow("group without the key: added under its header")
        << QByteArray("[Checkup]\nOther=\xe9t\xe9\n[Z]\nSite=elsewhere\n")
        << QByteArray("[Checkup]\nSite=2026-12-07T09:30:00\nOther=\xe9t\xe9\n[Z]\nSite=elsewhere\n") << "";
    QTest::newRow("spaces around the key and an unclosed group before")
        << QByteArray("[Broken\n[Checkup]\n  Site = old \n")
        << QByteArray("[Broken\n[Checkup]\n  Site =2026-12-07T09:30:00\n") << "old";
    QTest::newRow("the same key under a commented header is not ours")
        << QByteArray(";[Checkup]\nSite=1\n[Checkup]\n;Site=2\n")
        << QByteArray(";[Checkup]\nSite=1\n[Checkup]\nSite=2026-12-07T09:30:00\n;Site=2\n") << "";
    QTest::newRow("the group twice: the last line of the key is the one")
        << QByteArray("[Checkup]\nSite=a\n[X]\n[Checkup]\nSite=b\n")
        << QByteArray("[Checkup]\nSite=a\n[X]\n[Checkup]\nSite=2026-12-07T09:30:00\n") << "b";
    QTest::newRow("a byte order mark before the first header, as some editors save")
        << QByteArray("\xef\xbb\xbf[Checkup]\nSite=2020-01-01T00:00:00\n")
        << QByteArray("\xef\xbb\xbf[Checkup]\nSite=2026-12-07T09:30:00\n") << "2020-01-01T00:00:00";
    QTest::newRow("a quoted value as another writer left it")
        << QByteArray("[Checkup]\nSite=\"  a \\\"b\\\" \"\n") << QByteArray("[Checkup]\nSite=2026-12-07T09:30:00\n")
        << "  a \"b\" ";
}

// Written as a person or another program may have left it, the file changes in the one line of the key.
void TestSettingsFile::writeKeepsEveryOtherByte()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QFETCH(QString, oldValue);
    const QString path = m_files.write(QStringLiteral("edit %1.conf").arg(QTest::currentDataTag()), before);
    QtSettingsStore store(path);
    QCOMPARE(store.read(kSection, kKey), oldValue);
    QVERIFY(store.write(kSection, kKey, kDate));
    QCOMPARE(contents(path), after);
    QCOMPARE(store.read(kSection, kKey), kDate);
    QVERIFY(!QFile::exists(path + QStringLiteral(".lock")));
}

void TestSettingsFile::valuesReadBackAsWritten_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("a date as it is") << kDate << QByteArray("Site=2026-12-07T09:30:00");
    QTest::newRow("blank") << "   " << QByteArray("Site=\"   \"");
    QTest::newRow("empty") << "" << QByteArray("Site=\"\"");
    QTest::newRow("line break, quote and backslash") << "<b>\"\n\\" << QByteArray(R"(Site="<b>\"\n\\")");
    QTest::newRow("comment sign and comma") << "a;b,c#" << QByteArray("Site=\"a;b,c#\"");
    QTest::newRow("a control character") << QStringLiteral("a\x01") << QByteArray("Site=\"a\\x0001\"");
    QTest::newRow("not Latin") << QStringLiteral("\u05D0\u00E9") << QByteArray("Site=\xd7\x90\xc3\xa9");
}

// Whatever text is stored stays on its one line and reads back the same.
void TestSettingsFile::valuesReadBackAsWritten()
{
    QFETCH(QString, value);
    QFETCH(QByteArray, line);
    const QByteArray file = withIniValue(QByteArray("[Checkup]\nSite=x\n"), kSection, kKey, value);
    QCOMPARE(file, "[Checkup]\n" + line + '\n');
    QCOMPARE(iniValue(file, kSection, kKey), std::optional<QString>(value));
}

// The file is replaced whole, never left half-written; a linked file is written where it leads, with its mode.
void TestSettingsFile::writeKeepsTheFilesModeAndLink()
{
    const QString real = m_files.write(QStringLiteral("kept elsewhere.conf"), "[Z]\nz=1\n");
    QVERIFY(QFile::setPermissions(real, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    const QString link = m_files.path(QStringLiteral("linked.conf"));
    QVERIFY(QFile::link(real, link));
    QtSettingsStore store(link);
    QVERIFY(store.write(kSection, kKey, kDate));
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(contents(real), QByteArray("[Z]\nz=1\n\n[Checkup]\nSite=2026-12-07T09:30:00\n"));
    QCOMPARE(QFile::permissions(real),
             QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);
}

// Files put together at random from hostile pieces: whatever they hold, the value reads back after the edit and
// every line but those of the group's header, the key and blank ones is still there, in its order, byte for byte.
void TestSettingsFile::randomFilesKeepTheirOtherLines()
{
    const QList<QByteArray> pieces{"[Checkup]", "[Checkup", "[Other]",  "Site=1", " Site = 2 ", ";Site=3",
                                   "# x",       "k=v",      "\xff\xfe", "=",      "Site",       "\"",
                                   "[]",        "Sit=4",    "",         "\r",     " ",          "\t[Checkup]\t"};
    const auto others = [](const QByteArray& file) {
        QList<QByteArray> kept;
        for (const QByteArray& line : file.split('\n')) {
            const QByteArray text = line.trimmed();
            if (!text.isEmpty() && text != "[Checkup]" && !(text.startsWith("Site") && text.contains('='))) {
                kept.append(line.endsWith('\r') ? line.chopped(1) : line);
            }
        }
        return kept;
    };
    QRandomGenerator random(20261207);
    for (int round = 0; round < 2000; ++round) {
        QByteArray file;
        const int lines = random.bounded(8);
        for (int i = 0; i < lines; ++i) {
            file += pieces[random.bounded(pieces.size())] + (random.bounded(3) == 0 ? "\r\n" : "\n");
        }
        if (random.bounded(2) == 0) {
            file.chop(file.endsWith("\r\n") ? 2 : 1);
        }
        const QByteArray after = withIniValue(file, kSection, kKey, kDate);
        QCOMPARE(iniValue(after, kSection, kKey), std::optional<QString>(kDate));
        QCOMPARE(others(after), others(file));
    }
}

// Copies of the program started at once (a file manager opening several files) each run the reminder; the page is
// due, and opens once.
void TestSettingsFile::copiesStartedTogetherOpenThePageOnce()
{
    constexpr int kCopies = 5;
    const QString settings = m_files.write(QStringLiteral("race.conf"), "[Checkup]\nSite=2026-01-01T00:00:00\n");
    const QString record = m_files.path(QStringLiteral("opened"));
    const QString go = m_files.path(QStringLiteral("go"));
    std::vector<std::unique_ptr<QProcess>> copies;
    for (int i = 0; i < kCopies; ++i) {
        copies.push_back(std::make_unique<QProcess>());
        copies.back()->start(QStringLiteral(KESWIN_BULLETIN_RACER), {settings, record, go});
        QVERIFY(copies.back()->waitForStarted());
    }
    m_files.write(QStringLiteral("go"), "");
    for (auto& copy : copies) {
        QVERIFY(copy->waitForFinished(30'000));
        QCOMPARE(copy->exitCode(), 0);
    }
    QCOMPARE(contents(record), QByteArray("https://bulletin.test/bulletin.php\n"));
    QCOMPARE(contents(settings), QByteArray("[Checkup]\nSite=2026-12-07T09:30:00\n"));
    QVERIFY(!QFile::exists(settings + QStringLiteral(".lock")));
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "TestSettingsFile.moc"
