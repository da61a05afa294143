// Throughput of one analysis's four digests through the engine against each digest alone on one core.
//   keswin-digest-bench [FILE]    without FILE a 1 GiB file of random bytes is made in the temporary folder
//   keswin-digest-bench --once FILE    one analysis's four digests of FILE as it is (say, after dropping the cache)
//
// Two cases, each in a process of its own because the crypto library reads its processor mask once at start-up:
// SHA instructions as the processor has them, and masked (OPENSSL_ia32cap=:~0x20000000), as on processors
// without them. For each: the lanes the engine chose, every digest alone, the engine, MD5 alone (the floor, as MD5
// cannot be split) and the ceiling of the best schedule on this machine's cores.

#include "DigestEngine.h"
#include "Hasher.h"
#include "LanePlan.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <sys/resource.h>
#include <thread>

namespace {

constexpr qint64 kDefaultSize = qint64{1} << 30;
constexpr qsizetype kChunk = qsizetype{1} << 20;
constexpr int kRounds = 3;

QString makeRandomFile(const QTemporaryDir& dir)
{
    QFile file(dir.filePath(QStringLiteral("bench.bin")));
    if (!file.open(QIODevice::WriteOnly)) {
        qFatal("cannot create %s", qPrintable(file.fileName()));
    }
    QByteArray chunk(kChunk, Qt::Uninitialized);
    auto* words = reinterpret_cast<quint32*>(chunk.data());
    for (qint64 written = 0; written < kDefaultSize; written += kChunk) {
        QRandomGenerator::global()->fillRange(words, static_cast<qsizetype>(kChunk / 4));
        file.write(chunk);
    }
    return file.fileName();
}

void digestAlone(HashAlgorithm algorithm, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qFatal("cannot open %s", qPrintable(path));
    }
    QString error;
    const auto hasher = Hasher::create(algorithm, &error);
    if (!hasher) {
        qFatal("%s", qPrintable(error));
    }
    QByteArray buffer(kChunk, Qt::Uninitialized);
    for (qint64 count; (count = file.read(buffer.data(), kChunk)) > 0;) {
        if (!hasher->addData(std::as_bytes(std::span(buffer.constData(), static_cast<std::size_t>(count))))) {
            qFatal("%s", qPrintable(hasher->errorString()));
        }
    }
    hasher->result();
}

void allFour(const QString& path)
{
    DigestEngine engine;
    DigestJob job;
    for (DigestKind kind : kDigestOrder) {
        const DigestOutcome outcome = engine.DigestFile(kind, path, -1, &job);
        if (!outcome.isOk()) {
            qFatal("digest failed: %s", qPrintable(outcome.reason));
        }
    }
}

double bestSecondsOf(const std::function<void()>& work)
{
    double best = 1e30;
    for (int round = 0; round < kRounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, static_cast<double>(timer.nsecsElapsed()) / 1e9);
    }
    return best;
}

int runCase(const QString& path)
{
    const double mib = static_cast<double>(QFile(path).size()) / (1024.0 * 1024.0);
    const int cores = QThread::idealThreadCount();
    digestAlone(HashAlgorithm::Crc32, path); // warms the page cache so every side reads from memory

    std::printf("  best grouping: %s (%d cores); the engine shares each digest's lane among its workers\n",
                qPrintable(describeLanes(fittedLanePlan(windowAlgorithms(), cores))), cores);
    DigestCosts seconds{};
    for (const WindowDigest& digest : kWindowDigests) {
        const HashAlgorithm algorithm = digest.algorithm;
        const double alone = bestSecondsOf([&] { digestAlone(algorithm, path); });
        seconds[indexOf(algorithm)] = alone;
        std::printf("  %-8s alone, one core: %8.1f MiB/s (%.3f s)\n", qPrintable(algorithmName(algorithm)), mib / alone,
                    alone);
    }
    const double engine = bestSecondsOf([&] { allFour(path); });
    const double md5 = seconds[indexOf(HashAlgorithm::Md5)];

    // No schedule beats the slowest digest alone, nor the total work shared evenly by the cores; the best grouping
    // into lanes of whole digests is what this engine can reach at most.
    double total = 0;
    double slowest = 0;
    for (double alone : seconds) {
        total += alone;
        slowest = std::max(slowest, alone);
    }
    const double bound = std::max(slowest, total / cores);
    double bestPlan = 0;
    for (const auto& lane : planLanes(windowAlgorithms(), seconds, cores)) {
        double work = 0;
        for (HashAlgorithm algorithm : lane) {
            work += seconds[indexOf(algorithm)];
        }
        bestPlan = std::max(bestPlan, work);
    }
    std::printf("  (a) engine, all four digests: %8.1f MiB/s (%.3f s)\n", mib / engine, engine);
    std::printf("  (b) MD5 alone, one core:      %8.1f MiB/s (%.3f s)\n", mib / md5, md5);
    std::printf("  (c) ceiling, best lanes on %d cores: %8.1f MiB/s (%.3f s); any schedule: %.1f MiB/s\n", cores,
                mib / bestPlan, bestPlan, mib / bound);
    std::printf("  ratio a/b: %.2f   ratio a/c: %.2f\n", engine / md5, engine / bestPlan);

    struct rusage usage
    {
    };
    getrusage(RUSAGE_SELF, &usage);
    std::printf("  peak resident memory: %.1f MiB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}

qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').front().toLongLong();
        }
    }
    return -1;
}

// One read of a sparse file of the given size through the engine, its resident memory sampled as it goes: memory
// must stay flat however large the file.
int runSparse(qint64 gib)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sparse.bin"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(gib << 30)) {
        qFatal("cannot make a sparse file of %lld GiB in %s", static_cast<long long>(gib), qPrintable(dir.path()));
    }
    file.close();
    const qint64 before = residentKiB();
    std::atomic<bool> done{false};
    std::atomic<qint64> highest{before};
    std::thread sampler([&] {
        while (!done.load()) {
            highest.store(std::max(highest.load(), residentKiB()));
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    });
    QElapsedTimer timer;
    timer.start();
    allFour(path);
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    done.store(true);
    sampler.join();
    std::printf("sparse file of %lld GiB, one read for all four digests: %.1f s (%.0f MiB/s)\n",
                static_cast<long long>(gib), seconds, static_cast<double>(gib * 1024) / seconds);
    std::printf("  resident memory: %.1f MiB before, at most %.1f MiB during, %.1f MiB after\n",
                static_cast<double>(before) / 1024.0, static_cast<double>(highest.load()) / 1024.0,
                static_cast<double>(residentKiB()) / 1024.0);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 3 && arguments[1] == QStringLiteral("--case")) {
        return runCase(arguments[2]);
    }
    if (arguments.size() == 3 && arguments[1] == QStringLiteral("--once")) {
        QElapsedTimer timer;
        timer.start();
        allFour(arguments[2]);
        std::printf("%.3f\n", static_cast<double>(timer.nsecsElapsed()) / 1e9);
        return 0;
    }
    if (arguments.size() >= 2 && arguments[1] == QStringLiteral("--sparse")) {
        return runSparse(arguments.size() > 2 ? arguments[2].toLongLong() : 64);
    }

    QTemporaryDir dir;
    const QString path = arguments.size() > 1 ? arguments[1] : makeRandomFile(dir);
    std::printf("file: %s (%.0f MiB)\n", qPrintable(path), static_cast<double>(QFile(path).size()) / (1024.0 * 1024.0));
    const QList<QPair<QString, QString>> cases{
        {QStringLiteral("SHA instructions as found"), QString()},
        {QStringLiteral("SHA instructions masked (OPENSSL_ia32cap=:~0x20000000)"), QStringLiteral(":~0x20000000")},
    };
    for (const auto& [title, mask] : cases) {
        std::printf("%s\n", qPrintable(title));
        std::fflush(stdout);
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (!mask.isEmpty()) {
            environment.insert(QStringLiteral("OPENSSL_ia32cap"), mask);
        }
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--case"), path});
        if (!child.waitForFinished(-1) || child.exitCode() != 0) {
            return 1;
        }
    }
    return 0;
}
