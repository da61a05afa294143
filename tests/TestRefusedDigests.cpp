// Runs with OPENSSL_CONF naming a configuration that makes the crypto library refuse MD5, SHA-1 and SHA-256, as a
// host in FIPS mode does for some of them: each refusal must reach the user with the library's reason, never as a
// crash or a value that looks like a digest, and what can still be computed is.

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
    void refusedDigestsAreUnavailableAndCrc32IsComputed();
    void analysisShowsWhatCanBeComputedAndSaysWhatCannot();

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

void TestRefusedDigests::refusedDigestsAreUnavailableAndCrc32IsComputed()
{
    const QString file = m_files.write(QStringLiteral("refused"), "some bytes");
    DigestEngine engine;
    DigestJob job;
    const QHash<DigestKind, QString> names{
        {DigestKind::Md5, "MD5"}, {DigestKind::Sha1, "SHA-1"}, {DigestKind::Sha256, "SHA-256"}};
    for (DigestKind kind : kDigestOrder) {
        const DigestOutcome outcome = engine.DigestFile(kind, file, -1, &job);
        if (kind == DigestKind::Crc32) {
            QCOMPARE(outcome.digest, firstWordOf("rhash", {"--printf=%c", file}));
            continue;
        }
        QCOMPARE(outcome.status, DigestOutcome::Status::Unavailable);
        QVERIFY(outcome.digest.isEmpty());
        QVERIFY2(outcome.reason.startsWith("The cryptographic library refused to set up " + names[kind] + ":"),
                 qPrintable(outcome.reason));
    }
}

void TestRefusedDigests::analysisShowsWhatCanBeComputedAndSaysWhatCannot()
{
    const QString file = m_files.write(QStringLiteral("refused in the window"), "some bytes");
    RecordingView view;
    AnalysisSession session(std::make_shared<DigestEngine>(), view);
    QSignalSpy finished(&session, &AnalysisSession::finished);
    session.TakeInputPath(file);
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(view.row(ResultRow::Crc32), firstWordOf("rhash", {"--printf=%c", file}));
    for (ResultRow row : {ResultRow::Md5, ResultRow::Sha1, ResultRow::Sha256}) {
        QCOMPARE(view.row(row), QString());
    }
    QCOMPARE(view.messages().size(), 1);
    const QStringList lines = view.messages().front().split(u'\n');
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines[0], "Not every digest of " + file + " can be computed on this system.");
    QVERIFY2(lines[2].startsWith(QStringLiteral("The cryptographic library refused to set up MD5: unsupported")),
             qPrintable(lines[2]));
    QVERIFY2(lines[3].contains(QStringLiteral("SHA-1")), qPrintable(lines[3]));
    QVERIFY2(lines[4].contains(QStringLiteral("SHA-256")), qPrintable(lines[4]));
    QCOMPARE(view.row(ResultRow::FileSize), QStringLiteral("10"));
    QVERIFY(!session.isRunning());
}

QTEST_GUILESS_MAIN(TestRefusedDigests)
#include "TestRefusedDigests.moc"
