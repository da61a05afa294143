#include "CheckSession.h"
#include "FileJob.h"
#include "GatedReader.h"
#include "Hasher.h"
#include "ReadRate.h"
#include "TempFiles.h"

#include <mutex>
#include <QCryptographicHash>
#include <QDir>
#include <QSignalSpy>
#include <QTest>

Q_DECLARE_METATYPE(CheckState)

namespace {

using H = QCryptographicHash;
using Files = QList<std::pair<QString, QByteArray>>;
using Samples = QList<QPair<int, int>>; // milliseconds, MB done
using std::chrono::milliseconds;

const QByteArray kContent = "the published release\n";

QByteArray hexOf(const QByteArray& data, H::Algorithm algorithm)
{
    return QCryptographicHash::hash(data, algorithm).toHex();
}

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

QStringList namesOf(const AlgorithmSet& algorithms)
{
    QStringList names;
    algorithms.forEach([&names](HashAlgorithm algorithm) { names.append(algorithmName(algorithm)); });
    return names;
}

class FakeSteadyClock final : public SteadyClock
{
public:
    milliseconds now() const override { return milliseconds(m_now.load()); }
    void advance(milliseconds by) { m_now += by.count(); }

private:
    std::atomic<qint64> m_now{1'000'000};
};

// A session whose hashers are recorded as the engine asks for them, whose reads of names holding "gated" wait for
// the test, and whose clock the test moves.
struct BesideRig
{
    BesideRig()
    {
        CheckSessionOptions options;
        options.updateIntervalMs = 20;
        options.batch.workers = 2;
        options.batch.opener = gatedOpener(gate, "gated");
        options.batch.createHasher = [this](HashAlgorithm algorithm, QString* error) {
            std::lock_guard lock(mutex);
            created.insert(algorithm);
            return Hasher::create(algorithm, error);
        };
        options.clock = clock;
        session = std::make_unique<CheckSession>(model, options);
        finished = std::make_unique<QSignalSpy>(session.get(), &CheckSession::finished);
    }
    ~BesideRig()
    {
        session.reset();
        gate->open();
    }
    bool waitFinished()
    {
        return QTest::qWaitFor([&] { return finished->count() >= 1; }, 30'000);
    }
    AlgorithmSet hashersCreated()
    {
        std::lock_guard lock(mutex);
        return created;
    }
    void forgetHashers()
    {
        std::lock_guard lock(mutex);
        created = {};
    }

    std::mutex mutex;
    AlgorithmSet created;
    std::shared_ptr<Gate> gate = std::make_shared<Gate>();
    std::shared_ptr<FakeSteadyClock> clock = std::make_shared<FakeSteadyClock>();
    CheckModel model;
    std::unique_ptr<CheckSession> session;
    std::unique_ptr<QSignalSpy> finished;
};

} // namespace

class TestBesideDigests : public QObject
{
    Q_OBJECT

private slots:
    void firstReadIsForWhatIsPublished_data();
    void firstReadIsForWhatIsPublished();
    void pasteAfterCancelReadsOnlyWhatTheRowsNeed();
    void besideProblems_data();
    void besideProblems();
    void recentRate_data();
    void recentRate();
    void stalledReadSaysSo();

private:
    TempFiles m_files;
};

// Cancelled before its answer, then a paste: the read it starts is for the published digest and the paste's
// candidates, not for everything a paste might have needed had nothing been published.
void TestBesideDigests::pasteAfterCancelReadsOnlyWhatTheRowsNeed()
{
    QVERIFY(QDir().mkpath(m_files.path("cancelled")));
    const QString file = m_files.write("cancelled/gated-app.iso", kContent);
    m_files.write("cancelled/gated-app.iso.sha256", hexOf(kContent, H::Sha256) + "  gated-app.iso\n");
    BesideRig rig;
    rig.session->checkFile(native(file));
    QTRY_COMPARE(rig.gate->arrivals(), 1);
    rig.session->cancel();
    QVERIFY(rig.waitFinished());
    rig.gate->open();
    rig.forgetHashers();
    QCOMPARE(rig.session->paste(QString::fromLatin1(hexOf("other", H::Sha256))), CheckSession::PasteResult::Accepted);
    QTRY_VERIFY(!rig.session->isRunning());
    QCOMPARE(namesOf(rig.hashersCreated()), (QStringList{"SHA-256", "SHA3-256", "BLAKE3", "BLAKE2b-256"}));
    QCOMPARE(rig.model.row(0).state, CheckState::Ok); // the published digest, answered by the same read
    QCOMPARE(rig.model.row(1).state, CheckState::Mismatch);
}

void TestBesideDigests::firstReadIsForWhatIsPublished_data()
{
    QTest::addColumn<Files>("files");
    QTest::addColumn<QStringList>("readFor");
    const QByteArray sha = hexOf(kContent, H::Sha256);
    const QStringList pasteSet = namesOf(firstReadAlgorithms());
    QTest::newRow(".sha256: SHA-256 alone") << Files{{"app.iso.sha256", sha + "  app.iso\n"}} << QStringList{"SHA-256"};
    QTest::newRow("two sidecars") << Files{{"app.iso.sha256", sha + '\n'}, {"app.iso.md5", hexOf(kContent, H::Md5)}}
                                  << QStringList{"MD5", "SHA-256"};
    QTest::newRow("a bare length of four")
        << Files{{"CHECKSUM", sha + "  app.iso\n"}} << QStringList{"SHA-256", "SHA3-256", "BLAKE3", "BLAKE2b-256"};
    QTest::newRow("SHA384SUMS") << Files{{"SHA384SUMS", hexOf(kContent, H::Sha384) + "  app.iso\n"}}
                                << QStringList{"SHA-384"};
    QTest::newRow("nothing: what a paste needs") << Files{} << pasteSet;
    QTest::newRow("only a digest cut short") << Files{{"app.iso.sha256", sha.left(63) + '\n'}} << pasteSet;
}

// With digests published, the read is for them alone: the answer costs what computing them costs. With none, it is
// for what a paste most likely needs, and each digest computed is shown for copying.
void TestBesideDigests::firstReadIsForWhatIsPublished()
{
    QFETCH(Files, files);
    QFETCH(QStringList, readFor);
    const QString folder = QStringLiteral("first-%1").arg(QTest::currentDataTag()).replace(u' ', u'-');
    QVERIFY(QDir().mkpath(m_files.path(folder)));
    const QString file = m_files.write(folder + "/app.iso", kContent);
    for (const auto& [name, content] : files) {
        m_files.write(folder + '/' + name, content);
    }
    BesideRig rig;
    rig.session->checkFile(native(file));
    QVERIFY(rig.waitFinished());
    QCOMPARE(namesOf(rig.hashersCreated()), readFor);
    QCOMPARE(namesOf(rig.session->readFor()), readFor);
    QCOMPARE(namesOf(rig.session->computedAlgorithms()), readFor);
    if (!rig.session->foundFiles().isEmpty()) {
        QCOMPARE(rig.model.row(0).state, CheckState::Ok);
        return;
    }
    // One row per digest, most common first, each the digest itself: QCryptographicHash's, and CRC-32's from
    // Python's zlib.crc32.
    const std::pair<const char*, QByteArray> expected[] = {
        {"SHA-256", hexOf(kContent, H::Sha256)},
        {"SHA-512", hexOf(kContent, H::Sha512)},
        {"SHA-1", hexOf(kContent, H::Sha1)},
        {"MD5", hexOf(kContent, H::Md5)},
        {"CRC-32", "dfdf889e"},
    };
    QCOMPARE(rig.model.size(), qsizetype(std::size(expected)));
    for (qsizetype i = 0; i < rig.model.size(); ++i) {
        const CheckRow& row = rig.model.row(i);
        QCOMPARE(row.state, CheckState::NotCompared);
        QCOMPARE(algorithmText(row), QString::fromLatin1(expected[i].first));
        QCOMPARE(row.actual.toHex(), expected[i].second);
        QVERIFY2(rig.session->report().contains("digest:   " + row.actual.toHex()), expected[i].first);
    }
    // A paste replaces them with its own row.
    QCOMPARE(rig.session->paste(QString::fromLatin1(hexOf(kContent, H::Md5))), CheckSession::PasteResult::Accepted);
    QVERIFY(QTest::qWaitFor([&] { return rig.finished->count() >= 2; }, 30'000));
    QCOMPARE(rig.model.size(), qsizetype(1));
    QCOMPARE(rig.model.row(0).state, CheckState::Ok);
}

void TestBesideDigests::besideProblems_data()
{
    QTest::addColumn<Files>("files");
    QTest::addColumn<QStringList>("problems");
    QTest::addColumn<QList<CheckState>>("states");
    QTest::addColumn<bool>("conflicting");
    const QByteArray sha = hexOf(kContent, H::Sha256);
    const QByteArray other = hexOf("other", H::Sha256);
    const QList<CheckState> computed(5, CheckState::NotCompared);
    const QList<CheckState> ok{CheckState::Ok};
    const QString cutShort = QStringLiteral("63 hex digits where SHA-256 has 64: the digest is cut short");
    QTest::newRow(".sha256 cut to 63 digits")
        << Files{{"app.iso.sha256", sha.left(63) + "  app.iso\n"}}
        << QStringList{"app.iso.sha256, line 1 could not be used: " + cutShort} << computed << false;
    QTest::newRow("a bare digest cut short, in upper case")
        << Files{{"app.iso.SHA256", sha.left(63).toUpper() + "\n"}}
        << QStringList{"app.iso.SHA256, line 1 could not be used: " + cutShort} << computed << false;
    QTest::newRow("a tagged line cut short")
        << Files{{"CHECKSUM", "# release\nSHA256 (app.iso) = " + sha.left(62) + '\n'}}
        << QStringList{"CHECKSUM, line 2 could not be used: 62 hex digits where SHA-256 has 64: the digest is cut "
                       "short"}
        << computed << false;
    QTest::newRow("an algorithm not supported")
        << Files{{"CHECKSUM", "SM3 (app.iso) = " + sha + '\n'}}
        << QStringList{"CHECKSUM, line 1 could not be used: SM3 is not an algorithm this program checks"} << computed
        << false;
    QTest::newRow("a length no algorithm has")
        << Files{{"CHECKSUM", sha.left(60) + "  app.iso\n"}}
        << QStringList{"CHECKSUM, line 1 could not be used: 60 hex digits, the length of no digest this program "
                       "checks"}
        << computed << false;
    QTest::newRow("a good digest, and one cut short beside it")
        << Files{{"app.iso.sha256", sha + '\n'}, {"app.iso.md5", hexOf(kContent, H::Md5).left(31) + '\n'}}
        << QStringList{"app.iso.md5, line 1 could not be used: 31 hex digits where MD5 has 32: the digest is cut "
                       "short"}
        << ok << false;
    QTest::newRow("an error page saved as the sidecar")
        << Files{{"app.iso.sha256", "<html><body>404 Not Found</body></html>\n"}}
        << QStringList{"app.iso.sha256 could not be understood: no line of it is a checksum line."} << computed
        << false;
    QTest::newRow("a list of nothing readable")
        << Files{{"SHA256SUMS", "<!DOCTYPE html>\n<title>Moved</title>\n"}}
        << QStringList{"SHA256SUMS could not be understood: no line of it is a checksum line."} << computed << false;
    QTest::newRow("a sidecar about another file only")
        << Files{{"app.iso.sha256", sha + "  other.iso\n"}}
        << QStringList{"app.iso.sha256 gives digests for \u201cother.iso\u201d, not for \u201capp.iso\u201d."}
        << computed << false;
    QTest::newRow("a broken line about another file is not told")
        << Files{{"SHA256SUMS", sha.left(63) + "  other.iso\n" + sha + "  app.iso\n"}} << QStringList{} << ok << false;
    QTest::newRow("a signed sidecar's signature is no digest")
        << Files{{"app.iso.sha256", "-----BEGIN PGP SIGNED MESSAGE-----\nHash: SHA256\n\n" + sha +
                                        "  app.iso\n-----BEGIN PGP SIGNATURE-----\n\niQEzBAEBCAAdFiEE\n"
                                        "0123456789abcdefQk8=\n=Ab12\n-----END PGP SIGNATURE-----\n"}}
        << QStringList{} << ok << false;
    QTest::newRow("two files disagree") << Files{{"app.iso.sha256", sha + '\n'}, {"SHA256SUMS", other + "  app.iso\n"}}
                                        << QStringList{"disagree"} << QList{CheckState::Ok, CheckState::Mismatch}
                                        << true;
}

// What is published beside the file but cannot be used is told, never passed over.
void TestBesideDigests::besideProblems()
{
    QFETCH(Files, files);
    QFETCH(QStringList, problems);
    QFETCH(QList<CheckState>, states);
    QFETCH(bool, conflicting);
    const QString folder = QStringLiteral("problems-%1").arg(QTest::currentDataTag()).replace(u' ', u'-');
    QVERIFY(QDir().mkpath(m_files.path(folder)));
    const QString file = m_files.write(folder + "/app.iso", kContent);
    for (const auto& [name, content] : files) {
        m_files.write(folder + '/' + name, content);
    }
    BesideRig rig;
    rig.session->checkFile(native(file));
    QVERIFY(rig.waitFinished());
    const QStringList told = rig.session->problems();
    QCOMPARE(told.size(), problems.size());
    for (qsizetype i = 0; i < problems.size(); ++i) {
        QVERIFY2(problems[i] == QLatin1String("disagree") ? told[i].endsWith(QLatin1String(" disagree."))
                                                          : told[i] == problems[i],
                 qPrintable(told[i]));
    }
    QCOMPARE(rig.model.size(), states.size());
    for (qsizetype i = 0; i < states.size(); ++i) {
        QCOMPARE(rig.model.row(i).state, states[i]);
        QCOMPARE(rig.model.row(i).conflicting, conflicting);
    }
    if (states.first() == CheckState::NotCompared) {
        QVERIFY(rig.session->foundFiles().isEmpty());
        QCOMPARE(rig.model.row(0).note, QStringLiteral("no published digest beside it could be used"));
    }
}

void TestBesideDigests::recentRate_data()
{
    QTest::addColumn<Samples>("samples");
    QTest::addColumn<int>("now");
    QTest::addColumn<double>("megabytesPerSecond"); // 0: none to tell
    QTest::addColumn<int>("stalledMs");             // 0: not stalled
    using S = Samples;
    const auto steady = [](int from, int to, int mbPerSecond, int startMb) {
        S samples;
        for (int at = from; at <= to; at += 100) {
            samples.append({at, startMb + (at - from) * mbPerSecond / 1000});
        }
        return samples;
    };
    QTest::newRow("steady") << steady(0, 5000, 100, 0) << 5000 << 100.0 << 0;
    QTest::newRow("a first block is no speed yet") << S{{0, 0}, {100, 0}, {200, 8}} << 200 << 0.0 << 0;
    // Ten seconds of a list being read, then a second of reading: the speed of the reading, not a tenth of it.
    QTest::newRow("a phase before the first byte")
        << steady(0, 10'000, 0, 0) + steady(10'100, 11'000, 100, 0) << 11'000 << 100.0 << 0;
    // Slow for a minute, fast for the last four seconds: the speed now, not the minute's average.
    QTest::newRow("recent, not since the start")
        << steady(0, 60'000, 10, 0) + steady(60'100, 64'000, 200, 600) << 64'000 << 200.0 << 0;
    QTest::newRow("stopped: none, and said")
        << steady(0, 2000, 100, 0) + steady(2100, 8000, 0, 200) << 8000 << 0.0 << 6000;
    QTest::newRow("stopped a second: not yet a stall")
        << steady(0, 4000, 100, 0) + steady(4100, 5000, 0, 400) << 5000 << 100.0 * 2000 / 3000 << 0;
    QTest::newRow("nothing ever read") << steady(0, 4000, 0, 0) << 4000 << 0.0 << 4000;
}

void TestBesideDigests::recentRate()
{
    QFETCH(Samples, samples);
    QFETCH(int, now);
    QFETCH(double, megabytesPerSecond);
    QFETCH(int, stalledMs);
    ReadRate rate;
    rate.restart(milliseconds(samples.first().first));
    for (const auto& [at, megabytes] : samples) {
        rate.sample(milliseconds(at), quint64(megabytes) * 1'000'000);
    }
    QVERIFY2(qAbs(rate.bytesPerSecond() / 1e6 - megabytesPerSecond) < 0.05 * megabytesPerSecond + 0.001,
             qPrintable(QString::number(rate.bytesPerSecond() / 1e6)));
    const std::optional<milliseconds> stalled = rate.stalledFor(milliseconds(now));
    QCOMPARE(stalled ? int(stalled->count()) : 0, stalledMs);
}

// A read that stops says how long it has made no progress, by the session's clock, instead of a time left.
void TestBesideDigests::stalledReadSaysSo()
{
    const QString file = m_files.write("gated-stall.iso", TempFiles::randomBytes(1 << 20, 5));
    BesideRig rig;
    rig.session->checkFile(native(file));
    QTRY_COMPARE(rig.gate->arrivals(), 1);
    QTRY_VERIFY(rig.session->progress().totalBytes > 0);
    QCOMPARE(rig.session->progress().stalledSeconds, qint64(0));
    rig.clock->advance(std::chrono::seconds(7));
    QTRY_COMPARE(rig.session->progress().stalledSeconds, qint64(7));
    QCOMPARE(rig.session->progress().secondsLeft, qint64(-1));
    QCOMPARE(rig.session->progress().bytesPerSecond, 0.0);
    rig.gate->open();
    QVERIFY(rig.waitFinished());
    QCOMPARE(rig.session->progress().stalledSeconds, qint64(0));
}

QTEST_GUILESS_MAIN(TestBesideDigests)
#include "TestBesideDigests.moc"
