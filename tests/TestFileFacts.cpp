#include "FileFacts.h"
#include "TempFiles.h"

#include <fcntl.h>
#include <QDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

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
    void pathRowNamesTheFileShown_data();
    void pathRowNamesTheFileShown();
    void cleanupTestCase();

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

void TestFileFacts::pathRowNamesTheFileShown_data()
{
    QTest::addColumn<QString>("given"); // relative ones to the temporary folder
    QTest::addColumn<QString>("path");  // empty: no facts, for the reason given in "name"
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("size"); // which of the namesakes it is
    // root/x.txt and its namesake root/real/x.txt; link points into real, so link/.. is real, not root.
    const QString root = QFileInfo(m_files.path(QString())).canonicalFilePath();
    QDir().mkpath(root + "/real/sub/deeper");
    m_files.write(QStringLiteral("x.txt"), "top");
    m_files.write(QStringLiteral("real/x.txt"), "under real");
    QFile::link(QStringLiteral("real/sub"), root + "/link");
    QFile::link(QStringLiteral("x.txt"), root + "/link-to-x");
    const QByteArray latin1 = QFile::encodeName(root) + "/caf\xe9";
    ::mkdir(latin1.constData(), 0700);
    const int descriptor = ::open((latin1 + "/x.txt").constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    QVERIFY(descriptor >= 0 && ::write(descriptor, "top", 3) == 3);
    ::close(descriptor);
    const QString upOne = "../" + QFileInfo(root).fileName() + "/x.txt";

    QTest::newRow("link/..") << "link/../x.txt" << root + "/link/../x.txt"
                             << "x.txt"
                             << "10";
    QTest::newRow("link/.., absolute") << root + "/link/../x.txt" << root + "/link/../x.txt"
                                       << "x.txt"
                                       << "10";
    QTest::newRow("folder/.. inside a link") << "link/deeper/../../x.txt" << root + "/link/../x.txt"
                                             << "x.txt"
                                             << "10";
    QTest::newRow("folder/..") << "real/sub/../x.txt" << root + "/real/x.txt"
                               << "x.txt"
                               << "10";
    QTest::newRow("../ from the current folder") << upOne << root + "/x.txt"
                                                 << "x.txt"
                                                 << "3";
    QTest::newRow("/.. is /") << "/../.." + root + "/x.txt" << root + "/x.txt"
                              << "x.txt"
                              << "3";
    QTest::newRow("./") << "./x.txt" << root + "/x.txt"
                        << "x.txt"
                        << "3";
    QTest::newRow("/./") << "real/./x.txt" << root + "/real/x.txt"
                         << "x.txt"
                         << "10";
    QTest::newRow("//") << "real//x.txt" << root + "/real/x.txt"
                        << "x.txt"
                        << "10";
    QTest::newRow("// absolute") << root + "//real/x.txt" << root + "/real/x.txt"
                                 << "x.txt"
                                 << "10";
    QTest::newRow("relative") << "x.txt" << root + "/x.txt"
                              << "x.txt"
                              << "3";
    QTest::newRow("absolute") << root + "/real/x.txt" << root + "/real/x.txt"
                              << "x.txt"
                              << "10";
    QTest::newRow("link to a file keeps its name") << "link-to-x" << root + "/link-to-x"
                                                   << "link-to-x"
                                                   << "3";
    QTest::newRow("not UTF-8") << textForNativePath("caf\xe9/x.txt") << root + "/caf\\xE9/x.txt"
                               << "x.txt"
                               << "3";
    QTest::newRow("trailing slash after a file") << "x.txt/" << QString() << "Not a directory" << QString();
    QTest::newRow("trailing slash after a link to a file")
        << "link-to-x/" << QString() << "Not a directory" << QString();
    QTest::newRow("trailing slash after a folder")
        << "real/" << QString() << "It is a folder, not a file." << QString();
}

// The row names the file whose facts and digests are shown, whatever dots and links the path went through.
void TestFileFacts::pathRowNamesTheFileShown()
{
    QFETCH(QString, given);
    QFETCH(QString, path);
    QFETCH(QString, name);
    QFETCH(QString, size);
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_files.path(QString())));
    QString reason;
    const std::optional<FileFacts> facts = readFileFacts(given, QLocale::c(), &reason);
    QDir::setCurrent(previous);
    if (path.isEmpty()) {
        QVERIFY(!facts);
        QCOMPARE(reason, name);
        return;
    }
    QVERIFY2(facts, qPrintable(reason));
    QCOMPARE(facts->path, path);
    QCOMPARE(facts->name, name);
    QCOMPARE(facts->size, size);
}

// Qt's own file functions cannot name the folder that is not UTF-8, so the temporary folder could not remove it.
void TestFileFacts::cleanupTestCase()
{
    const QByteArray latin1 = QFile::encodeName(m_files.path(QString())) + "/caf\xe9";
    ::unlink((latin1 + "/x.txt").constData());
    ::rmdir(latin1.constData());
}

QTEST_GUILESS_MAIN(TestFileFacts)
#include "TestFileFacts.moc"
