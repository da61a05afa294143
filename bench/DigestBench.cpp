// Throughput of one analysis's four digests through the engine against MD5 alone on one core, the floor.
//   keswin-digest-bench [FILE]    without FILE a 1 GiB file of random bytes is made in the temporary folder

#include "DigestEngine.h"
#include "Hasher.h"

#include <cstdio>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <sys/resource.h>

namespace {

constexpr qint64 kDefaultSize = qint64{1} << 30;
constexpr qsizetype kChunk = qsizetype{1} << 20;

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

qint64 md5Alone(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qFatal("cannot open %s", qPrintable(path));
    }
    auto md5 = Hasher::create(HashAlgorithm::Md5);
    QByteArray buffer(kChunk, Qt::Uninitialized);
    qint64 total = 0;
    for (qint64 count; (count = file.read(buffer.data(), kChunk)) > 0; total += count) {
        md5->addData(std::as_bytes(std::span(buffer.constData(), static_cast<std::size_t>(count))));
    }
    md5->result();
    return total;
}

void allFour(const QString& path)
{
    DigestEngine engine;
    for (DigestKind kind : kDigestOrder) {
        const DigestOutcome outcome = engine.DigestFile(kind, path, -1);
        if (!outcome.isOk()) {
            qFatal("digest failed: %s", qPrintable(outcome.reason));
        }
    }
}

double secondsOf(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : makeRandomFile(dir);
    const double mib = static_cast<double>(QFile(path).size()) / (1024.0 * 1024.0);

    md5Alone(path); // warms the page cache so both sides read from memory
    double bestEngine = 1e30;
    double bestMd5 = 1e30;
    for (int round = 0; round < 3; ++round) {
        bestEngine = std::min(bestEngine, secondsOf([&] { allFour(path); }));
        bestMd5 = std::min(bestMd5, secondsOf([&] { md5Alone(path); }));
    }

    struct rusage usage
    {
    };
    getrusage(RUSAGE_SELF, &usage);
    std::printf("file: %s (%.0f MiB)\n", qPrintable(path), mib);
    std::printf("(a) engine, all four digests: %8.1f MiB/s  (%.3f s)\n", mib / bestEngine, bestEngine);
    std::printf("(b) MD5 alone, one core:      %8.1f MiB/s  (%.3f s)\n", mib / bestMd5, bestMd5);
    std::printf("time ratio a/b: %.2f (goal: at most 1.00)\n", bestEngine / bestMd5);
    std::printf("peak resident memory: %.1f MiB (goal: below 64 MiB)\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}
