#include "FileFacts.h"
#include "TempFiles.h"

#include <fcntl.h>
#include <QDir>
#include <QTest>
#include <sys/stat.h>

Q_DECLARE_METATYPE(PathKind)

class TestFileFacts : public QObject
{
    Q_OBJECT

private slots:
    void sparseFileOverFourGiBShowsItsExactSize();
    void relativePathIsShownAbsolute();
    void datesAfter2262AreShownRight();
    void classifiesPaths_data();
    void classifiesPaths();

private:
    TempFiles m_files;
};

void TestFileFacts::sparseFileOverFourGiBShowsItsExactSize()
{
    const qint64 size = (qint64{5} << 30) + 7;
    const QString file = m_files.writeSparse(QStringLiteral("five gib"), size);
    QString reason;
    const std::optional<FileFacts> facts = readFileFacts(file, QLocale::c(), &reason);
    QVERIFY2(facts, qPrintable(reason));
    QCOMPARE(facts->size, QStringLiteral("5368709127"));
    QCOMPARE(facts->name, QStringLiteral("five gib"));
}

void TestFileFacts::relativePathIsShownAbsolute()
{
    QDir().mkpath(m_files.path(QStringLiteral("sub")));
    const QString file = m_files.write(QStringLiteral("sub/relative.txt"), "r");
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_files.path(QString())));
    QString reason;
    const std::optional<FileFacts> facts = readFileFacts(QStringLiteral("sub/relative.txt"), QLocale::c(), &reason);
    QDir::setCurrent(previous);
    QVERIFY(facts);
    QCOMPARE(facts->path, QFileInfo(file).absoluteFilePath());
    QCOMPARE(facts->name, QStringLiteral("relative.txt"));
}

void TestFileFacts::datesAfter2262AreShownRight()
{
    const QString file = m_files.write(QStringLiteral("far future"), "f");
    const qint64 midnight = QDateTime(QDate(2300, 1, 1), QTime(0, 0)).toSecsSinceEpoch();
    const qint64 afternoon = QDateTime(QDate(2300, 1, 2), QTime(15, 4, 5)).toSecsSinceEpoch();
    struct timespec times[2] = {{static_cast<time_t>(afternoon), 0}, {static_cast<time_t>(midnight), 0}};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0), 0);
    QString reason;
    const std::optional<FileFacts> facts = readFileFacts(file, QLocale(QStringLiteral("en_US")), &reason);
    QVERIFY2(facts, qPrintable(reason));
    QCOMPARE(facts->modified, QStringLiteral("1/1/2300"));
    QCOMPARE(facts->accessed, QStringLiteral("1/2/2300 3:04:05 PM"));
    QCOMPARE(facts->version.modified.seconds, midnight);
}

void TestFileFacts::classifiesPaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<PathKind>("kind");
    QTest::addColumn<QString>("reason");
    const QString file = m_files.write(QStringLiteral("plain"), "p");
    const QString fileLink = m_files.path(QStringLiteral("file-link"));
    QFile::link(file, fileLink);
    const QString folderLink = m_files.path(QStringLiteral("folder-link"));
    QFile::link(QDir::tempPath(), folderLink);
    const QString fifo = m_files.path(QStringLiteral("fifo"));
    ::mkfifo(QFile::encodeName(fifo).constData(), 0600);
    const QString dangling = m_files.path(QStringLiteral("dangling"));
    QFile::link(m_files.path(QStringLiteral("gone")), dangling);

    QTest::newRow("file") << file << PathKind::RegularFile << QString();
    QTest::newRow("link to file") << fileLink << PathKind::RegularFile << QString();
    QTest::newRow("folder") << QDir::tempPath() << PathKind::Folder << QString();
    QTest::newRow("link to folder") << folderLink << PathKind::Folder << QString();
    QTest::newRow("fifo") << fifo << PathKind::Other << "It is a named pipe (FIFO), not a regular file.";
    QTest::newRow("device") << "/dev/null" << PathKind::Other << "It is a device, not a regular file.";
    QTest::newRow("too long") << m_files.path(QString(300, u'n')) << PathKind::Other << "File name too long";
    QTest::newRow("dangling link") << dangling << PathKind::Missing << QString();
    QTest::newRow("nothing") << m_files.path(QStringLiteral("nothing")) << PathKind::Missing << QString();
    QTest::newRow("under a file") << file + "/x" << PathKind::Missing << QString();
    QTest::newRow("embedded nul") << file + QChar(0) << PathKind::Missing << QString();
}

void TestFileFacts::classifiesPaths()
{
    QFETCH(QString, path);
    QFETCH(PathKind, kind);
    QFETCH(QString, reason);
    QString given;
    QCOMPARE(classifyPath(path, &given), kind);
    QCOMPARE(given, reason);
}

QTEST_GUILESS_MAIN(TestFileFacts)
#include "TestFileFacts.moc"
