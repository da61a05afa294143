// Runs with OPENSSL_CONF naming a configuration that makes the crypto library refuse MD5, SHA-1 and SHA-256, as a
// host in FIPS mode does: the refusal must reach the user as a failure with the library's reason, never as a crash
// or a value that looks like a digest.

#include "AnalysisSession.h"
#include "DigestEngine.h"
#include "Hasher.h"
#include "RecordingView.h"
#include "TempFiles.h"

#include <QSignalSpy>
#include <QTest>

Q_DECLARE_METATYPE(HashAlgorithm)

class TestRefusedDigests : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void setUpIsRefusedWithTheLibrarysReason_data();
    void setUpIsRefusedWithTheLibrarysReason();
    void engineFailsInsteadOfCrashing();
    void analysisReportsTheRefusalAndEmptiesTheDigestRows();

private:
    TempFiles m_files;
};

void TestRefusedDigests::initTestCase()
{
    if (!qEnvironmentVariable("OPENSSL_CONF").endsWith(QStringLiteral("refuse-digests.cnf"))) {
        QFAIL("run with OPENSSL_CONF=tests/data/refuse-digests.cnf");
    }
}

void TestRefusedDigests::setUpIsRefusedWithTheLibrarysReason_data()
{
    QTest::addColumn<HashAlgorithm>("algorithm");
    QTest::newRow("md5") << HashAlgorithm::Md5;
    QTest::newRow("sha1") << HashAlgorithm::Sha1;
    QTest::newRow("sha256") << HashAlgorithm::Sha256;
}

void TestRefusedDigests::setUpIsRefusedWithTheLibrarysReason()
{
    QFETCH(HashAlgorithm, algorithm);
    QString error;
    QVERIFY(!Hasher::create(algorithm, &error));
    QVERIFY2(error.contains(algorithmName(algorithm)), qPrintable(error));
    QVERIFY2(error.contains(QStringLiteral("unsupported")), qPrintable(error));
    // CRC-32 does not come from the crypto library and stays available.
    QVERIFY(Hasher::create(HashAlgorithm::Crc32, &error));
}

void TestRefusedDigests::engineFailsInsteadOfCrashing()
{
    const QString file = m_files.write(QStringLiteral("refused"), "some bytes");
    DigestEngine engine;
    DigestJob job;
    for (DigestKind kind : kDigestOrder) {
        const DigestOutcome outcome = engine.DigestFile(kind, file, -1, &job);
        QCOMPARE(outcome.status, DigestOutcome::Status::Failed);
        QVERIFY(outcome.digest.isEmpty());
        QVERIFY2(outcome.reason.startsWith(QStringLiteral("The cryptographic library refused to set up MD5")),
                 qPrintable(outcome.reason));
    }
}

void TestRefusedDigests::analysisReportsTheRefusalAndEmptiesTheDigestRows()
{
    const QString file = m_files.write(QStringLiteral("refused in the window"), "some bytes");
    RecordingView view;
    AnalysisSession session(std::make_shared<DigestEngine>(), view);
    QSignalSpy finished(&session, &AnalysisSession::finished);
    session.TakeInputPath(file);
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(view.messages().size(), 1);
    QVERIFY2(view.messages().front().startsWith("Cannot read the file " + file + "\n\nThe cryptographic library"),
             qPrintable(view.messages().front()));
    for (ResultRow row : {ResultRow::Crc32, ResultRow::Md5, ResultRow::Sha1, ResultRow::Sha256}) {
        QCOMPARE(view.row(row), QString());
    }
    QCOMPARE(view.row(ResultRow::FileSize), QStringLiteral("10"));
    QVERIFY(!session.isRunning());
}

QTEST_GUILESS_MAIN(TestRefusedDigests)
#include "TestRefusedDigests.moc"
