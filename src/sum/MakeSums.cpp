#include "MakeSums.h"

#include "ChecksumLine.h"
#include "DigestBatch.h"
#include "Messages.h"
#include "StandardOutput.h"

#include <deque>

namespace {

// Digests asked for ahead of the file being printed: enough to keep every lane busy on small files.
constexpr std::size_t kWindow = 128;

bool printResult(const SumOptions& options, const QByteArray& name, const FileDigests& result, QByteArray& lines)
{
    if (!result.isOk()) {
        printFailure(name, result.failure, result.reason);
        return false;
    }
    for (const HashAlgorithm algorithm : options.algorithms) {
        const QByteArray& digest = result.digest(algorithm);
        if (digest.isEmpty()) {
            // Refused by the crypto library: nothing printed for this file rather than a partial answer.
            printFailure(name, DigestFailure::DigestRefused, result.refusals[indexOf(algorithm)]);
            return false;
        }
    }
    lines.resize(0); // keeps its room: no allocation per file
    for (const HashAlgorithm algorithm : options.algorithms) {
        if (options.untagged) {
            appendUntaggedLine(lines, algorithm, result.digest(algorithm), name, options.zero);
        } else {
            appendTaggedLine(lines, algorithm, result.digest(algorithm), name, options.zero);
        }
    }
    StandardOutput::write(lines);
    return true;
}

} // namespace

bool makeSums(const SumOptions& options, DigestBatch& batch)
{
    const QList<QByteArray> files = options.files.isEmpty() ? QList<QByteArray>{"-"} : options.files;
    AlgorithmSet wanted;
    for (const HashAlgorithm algorithm : options.algorithms) {
        wanted.insert(algorithm);
    }
    bool allRead = true;
    qsizetype next = 0;
    std::deque<QByteArray> waiting;
    QByteArray lines;
    while (next < files.size() || !waiting.empty()) {
        // Asked for in bursts from half the window, so that the workers are woken once for many small files.
        const bool burst = waiting.size() <= kWindow / 2;
        while (burst && next < files.size() && waiting.size() < kWindow) {
            const QByteArray& file = files[next++];
            batch.submit({file, wanted, file == "-"});
            waiting.push_back(file);
        }
        const FileDigests result = batch.takeNext();
        allRead = printResult(options, waiting.front(), result, lines) && allRead;
        // A failed write (SIGPIPE ignored, a full disk) does not end the run: as with the GNU tools, every file
        // is still read and reported on standard error, and the write error comes last.
        waiting.pop_front();
    }
    return allRead;
}
