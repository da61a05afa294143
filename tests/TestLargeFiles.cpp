#include "DigestEngine.h"
#include "TempFiles.h"

#include <QStandardPaths>
#include <QTest>

// Files past 4 GiB read for real, from a sparse file: minutes of reading, so apart from the quick tests, which serve
// the same bytes from memory (TestDigestEngine::overFourGiBOfZeros).
class TestLargeFiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sparseFileOverFourGiB();

private:
    TempFiles m_files;
};

void TestLargeFiles::initTestCase()
{
    for (const char* tool : {"md5sum", "sha1sum", "sha256sum", "rhash"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            QFAIL(qPrintable(QStringLiteral("%1 is needed as an independent reference").arg(tool)));
        }
    }
}

void TestLargeFiles::sparseFileOverFourGiB()
{
    const qint64 size = (qint64{1} << 32) + 4099;
    const QString file = m_files.writeSparse(QStringLiteral("sparse"), size, QByteArray("tail"));
    const std::pair<DigestKind, QString> tools[] = {
        {DigestKind::Crc32, firstWordOf("rhash", {"--printf=%c", file})},
        {DigestKind::Md5, firstWordOf("md5sum", {file})},
        {DigestKind::Sha1, firstWordOf("sha1sum", {file})},
        {DigestKind::Sha256, firstWordOf("sha256sum", {file})},
    };
    DigestEngine engine;
    DigestJob job;
    for (const auto& [kind, expected] : tools) {
        const DigestOutcome outcome = engine.DigestFile(kind, file, -1, &job);
        QVERIFY2(outcome.isOk(), qPrintable(outcome.reason));
        QCOMPARE(outcome.digest, expected);
    }
    QCOMPARE(job.bytesDone(), static_cast<quint64>(size));
}

QTEST_GUILESS_MAIN(TestLargeFiles)
#include "TestLargeFiles.moc"
