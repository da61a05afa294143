// The file dialog's answer turned into the path Browse takes in: exact bytes, or a refusal, never another file.

#include "ChosenFile.h"
#include "NativePath.h"

#include <QTest>

class TestChosenFile : public QObject
{
    Q_OBJECT

private slots:
    void namesTheFileExactly_data();
    void namesTheFileExactly();
    void refusesWhatNamesNoFileExactly_data();
    void refusesWhatNamesNoFileExactly();
};

void TestChosenFile::namesTheFileExactly_data()
{
    QTest::addColumn<QByteArray>("answer"); // as a dialog that knows the name's bytes encodes it
    QTest::addColumn<QByteArray>("native"); // the bytes of the file's path
    QTest::newRow("latin-1 byte") << QByteArray("file:///tmp/caf%E9.txt") << QByteArray("/tmp/caf\xe9.txt");
    QTest::newRow("latin-1 folder") << QByteArray("file:///tmp/d%E9j%E0/x") << QByteArray("/tmp/d\xe9j\xe0/x");
    QTest::newRow("utf-8") << QByteArray("file:///tmp/caf%C3%A9.txt") << QByteArray("/tmp/caf\xc3\xa9.txt");
    QTest::newRow("space at both ends") << QByteArray("file:///tmp/%20both%20") << QByteArray("/tmp/ both ");
    QTest::newRow("newline") << QByteArray("file:///tmp/two%0Alines") << QByteArray("/tmp/two\nlines");
    QTest::newRow("%25 in the name") << QByteArray("file:///tmp/100%2525.txt") << QByteArray("/tmp/100%25.txt");
    QTest::newRow("markup") << QByteArray("file:///tmp/%3Cb%3Ex%3C%3Cbr%3E&amp;") << QByteArray("/tmp/<b>x<<br>&amp;");
    QTest::newRow("hash and question mark") << QByteArray("file:///tmp/a%23b%3F") << QByteArray("/tmp/a#b?");
    QTest::newRow("this host by name") << QByteArray("file://localhost/tmp/x") << QByteArray("/tmp/x");
    QTest::newRow("a cancel") << QByteArray() << QByteArray();
}

void TestChosenFile::namesTheFileExactly()
{
    QFETCH(QByteArray, answer);
    QFETCH(QByteArray, native);
    const ChosenFile chosen = chosenFile(QUrl::fromEncoded(answer));
    QCOMPARE(chosen.refusal, QString());
    QCOMPARE(nativePathFor(chosen.path), std::optional<QByteArray>(native));
    // Qt's own dialog builds its answer from a path as text, which it has only for names that are valid text; the
    // same file must come back.
    if (!native.isEmpty() && displayTextForPath(chosen.path) == chosen.path) {
        QCOMPARE(chosenFile(QUrl::fromLocalFile(chosen.path)).path, chosen.path);
    }
}

void TestChosenFile::refusesWhatNamesNoFileExactly_data()
{
    QTest::addColumn<QUrl>("answer");
    QTest::addColumn<QString>("named"); // what the message must name
    // What a dialog that reads names as UTF-8 gives for "caf\xe9.txt": the name of another file, which may exist.
    QTest::newRow("replacement character")
        << QUrl::fromEncoded("file:///tmp/caf%EF%BF%BD.txt") << QStringLiteral("/tmp/caf\ufffd.txt");
    QTest::newRow("replacement character in a folder")
        << QUrl::fromLocalFile(QStringLiteral("/tmp/d\ufffdj\ufffd/x")) << QStringLiteral("/tmp/d\ufffdj\ufffd/x");
    QTest::newRow("another host") << QUrl(QStringLiteral("file://server/share/x")) << QStringLiteral("server");
    QTest::newRow("another scheme") << QUrl(QStringLiteral("sftp://host/x")) << QStringLiteral("sftp://host/x");
    QTest::newRow("NUL byte") << QUrl::fromEncoded("file:///tmp/a%00b") << QStringLiteral("/tmp/a");
    QTest::newRow("relative") << QUrl::fromEncoded("file:x.txt") << QStringLiteral("x.txt");
}

void TestChosenFile::refusesWhatNamesNoFileExactly()
{
    QFETCH(QUrl, answer);
    QFETCH(QString, named);
    const ChosenFile chosen = chosenFile(answer);
    QCOMPARE(chosen.path, QString());
    QVERIFY2(chosen.refusal.contains(named), qPrintable(chosen.refusal));
}

QTEST_APPLESS_MAIN(TestChosenFile)
#include "TestChosenFile.moc"
