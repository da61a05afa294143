// The many-file engine alone, shaped like the command-line tool so that the benchmark script can time it:
//   keswin-batch-bench [-a ALG[,ALG...]] [FILE...]    prints "TAG (NAME) = HEX" per file and algorithm
// Without -a: crc32, md5, sha1, sha256. "-" or no FILE reads standard input.

#include "DigestBatch.h"
#include "DigestKind.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Job
{
    QByteArray name;
    std::vector<HashAlgorithm> order;
};

bool parseAlgorithms(const char* list, std::vector<HashAlgorithm>* order)
{
    order->clear();
    std::string text(list);
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::optional<HashAlgorithm> algorithm = algorithmFromName(text.substr(start, comma - start));
        if (!algorithm) {
            return false;
        }
        order->push_back(*algorithm);
        start = comma + 1;
    }
    return true;
}

void print(const Job& job, const FileDigests& result, int* status)
{
    if (!result.isOk() && result.failure != DigestFailure::DigestRefused) {
        std::fprintf(stderr, "keswin-batch-bench: %s: %s\n", job.name.constData(), qPrintable(result.reason));
        *status = 1;
        return;
    }
    for (HashAlgorithm algorithm : job.order) {
        const QByteArray hex = result.digest(algorithm).toHex();
        const std::string_view tag = algorithmInfo(algorithm).tag;
        std::printf("%.*s (%s) = %s\n", static_cast<int>(tag.size()), tag.data(), job.name.constData(),
                    hex.constData());
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<HashAlgorithm> order;
    for (const WindowDigest& digest : kWindowDigests) {
        order.push_back(digest.algorithm);
    }
    std::vector<QByteArray> files;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-a") == 0 && i + 1 < argc) {
            if (!parseAlgorithms(argv[++i], &order)) {
                std::fprintf(stderr, "keswin-batch-bench: unknown algorithm in %s\n", argv[i]);
                return 2;
            }
        } else {
            files.emplace_back(argv[i]);
        }
    }
    if (files.empty()) {
        files.emplace_back("-");
    }
    AlgorithmSet algorithms;
    for (HashAlgorithm algorithm : order) {
        algorithms.insert(algorithm);
    }

    DigestBatchOptions options;
    options.readAnyFile = true;
    // For tuning only: the block size in KiB and the blocks in flight per file.
    if (const char* kib = std::getenv("KESWIN_BLOCK_KIB")) {
        options.blockSize = std::size_t{1024} * std::strtoul(kib, nullptr, 10);
    }
    if (const char* blocks = std::getenv("KESWIN_BLOCKS")) {
        options.blocksInFlight = std::strtoul(blocks, nullptr, 10);
    }
    if (const char* workers = std::getenv("KESWIN_WORKERS")) {
        options.workers = std::atoi(workers);
    }
    DigestBatch batch(options);
    const std::size_t mostPending = 64;
    std::size_t next = 0;
    std::size_t taken = 0;
    int status = 0;
    std::vector<Job> jobs(mostPending);
    while (taken < files.size()) {
        if (next < files.size() && batch.pending() < mostPending) {
            const bool standardInput = files[next] == "-";
            jobs[next % mostPending] = Job{files[next], order};
            batch.submit(DigestRequest{standardInput ? QByteArray() : files[next], algorithms, standardInput});
            ++next;
            continue;
        }
        print(jobs[taken % mostPending], batch.takeNext(), &status);
        ++taken;
    }
    if (std::fflush(stdout) != 0) {
        return 1;
    }
    return status;
}
