// keswin-sum: prints or checks the checksums of files, as the GNU tools do, with every digest from one read.
#include "BatchSource.h"
#include "CheckLists.h"
#include "ClosedStreams.h"
#include "MakeSums.h"
#include "Messages.h"
#include "Progress.h"
#include "StandardOutput.h"
#include "SumOptions.h"
#include "WriteWatch.h"

#include <memory>
#include <QCoreApplication>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The bytes the progress line counts towards: the sizes of the regular files named.
quint64 totalBytes(const SumOptions& options)
{
    quint64 total = 0;
    for (const QByteArray& file : options.files) {
        struct stat status;
        if (file != "-" && ::stat(file.constData(), &status) == 0 && S_ISREG(status.st_mode)) {
            total += static_cast<quint64>(status.st_size);
        }
    }
    return total;
}

// The GNU tools' words for output that could not be written: with the reason where the descriptor was closed.
int writeError(const ClosedStreams& closed)
{
    printError(closed.output ? "write error: Bad file descriptor" : "write error");
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    const ClosedStreams closed = ClosedStreams::holdClosedOnes();
    useLocaleWithEnglishMessages();
    WriteWatch::ignoreLeaseSignals();
    // Our standard output or error sent to a file we also read (a list written into the folder it lists) is read as
    // it stands, as the other tools read it, not refused as a file another program writes to.
    WriteWatch::discountOwnWriters();
    setProgramName(argv[0]);
    const ParsedOptions parsed = parseSumOptions(argc, argv);
    switch (parsed.outcome) {
    case ParseOutcome::UsageError:
        return 1;
    case ParseOutcome::Help:
        StandardOutput::write(helpText(argv[0]));
        break;
    case ParseOutcome::Version:
        StandardOutput::write("keswin-sum (Keswin Hash) " KESWIN_SUM_VERSION "\n");
        break;
    case ParseOutcome::Run: {
        int qtArgc = 1;
        QCoreApplication application(qtArgc, argv);
        useLocaleWithEnglishMessages(); // Qt took the whole locale from the environment again
        const SumOptions& options = parsed.options;
        DigestBatchOptions batchOptions;
        batchOptions.readAnyFile = true;
        batchOptions.beforeWaiting = [] { StandardOutput::flush(); };
        DigestBatch batch(batchOptions);
        std::unique_ptr<Progress> progress;
        if (options.progress && ::isatty(STDERR_FILENO)) {
            progress = std::make_unique<Progress>([&batch] { return batch.bytesDone(); },
                                                  options.check ? listedBytes(options) : totalBytes(options));
        }
        bool good;
        if (options.check) {
            BatchSource source(batch);
            good = checkLists(options, source);
        } else {
            good = makeSums(options, batch);
        }
        progress.reset();
        if (closed.input && readsStandardInput(options.files)) {
            printError("standard input: Bad file descriptor");
            good = false;
        }
        if (!StandardOutput::flush()) {
            return writeError(closed);
        }
        return good ? 0 : 1;
    }
    }
    if (!StandardOutput::flush()) {
        return writeError(closed);
    }
    return 0;
}
