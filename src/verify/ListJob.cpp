#include "ListJob.h"

#include "BatchSource.h"
#include "BesideDigests.h"
#include "CheckRun.h"
#include "ChecksumListReader.h"
#include "DigestAnswer.h"
#include "LineFeed.h"
#include "LinkedOutside.h"
#include "ListFile.h"
#include "ListPipe.h"
#include "ListRows.h"
#include "StallWatch.h"
#include "VerifyLoop.h"

#include <QCoreApplication>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ListJob", text);
}

// Sizes go to the window in runs of this many entries, or when the list ends.
constexpr std::size_t kSizesPerDelivery = 4096;

// "B2SUMS" of b2sum -l 256 is BLAKE2b-256, not a SHA of that length.
ParserOptions parserOptionsFor(const QByteArray& listPath)
{
    ParserOptions parser;
    parser.named = algorithmNamedBy(listPath);
    return parser;
}

VerifyOptions verifyOptionsFor(const QByteArray& listPath)
{
    VerifyOptions verify;
    verify.baseFolder = folderOfList(listPath);
    verify.dashIsStandardInput = false; // "-" in a list is a file of that name in the list's folder
    verify.window = 64;                 // enough files asked for ahead to keep every worker busy
    verify.candidates = [named = algorithmNamedBy(listPath)](const ChecksumEntry& entry) {
        return candidatesFor(entry, named);
    };
    return verify;
}

// Beside the check, on a thread of its own: the size of each entry's file, for the bar's total and the row being
// read. An entry whose file system does not answer holds up the sizes after it, never the rows.
void sizeListJob(CheckRun& run, const ListOpener& open, const QByteArray& listPath)
{
    QString unused;
    const std::unique_ptr<QIODevice> list = open(listPath, &unused);
    if (!list) {
        return;
    }
    std::vector<qint64> sizes;
    quint64 total = 0;
    const auto deliver = [&] {
        Delivery delivery;
        for (const qint64 size : sizes) {
            total += size > 0 ? static_cast<quint64>(size) : 0;
        }
        delivery.totalBytes = total;
        delivery.sizes = std::exchange(sizes, {});
        run.post(std::move(delivery));
    };
    listedBytes(*list, parserOptionsFor(listPath), verifyOptionsFor(listPath), &sizes, [&] {
        if (sizes.size() >= kSizesPerDelivery) {
            deliver();
        }
        return run.isCancelled();
    });
    if (!run.isCancelled()) {
        deliver();
    }
}

} // namespace

QByteArray folderOfList(const QByteArray& listPath)
{
    if (namesStandardInput(listPath)) {
        return {};
    }
    const qsizetype slash = listPath.lastIndexOf('/');
    return slash < 0 ? QByteArray() : listPath.first(slash + 1);
}

std::unique_ptr<QIODevice> openListDevice(const QByteArray& listPath, QString* error)
{
    return openListToRead(listPath, error);
}

void checkListJob(CheckRun& run, const QByteArray& listPath, DigestBatchOptions options, const ListOpener& open)
{
    QString error;
    std::unique_ptr<QIODevice> list = open(listPath, &error);
    if (!list) {
        Delivery failed;
        failed.problems.append(tr("Cannot read the list: %1").arg(error));
        failed.finished = true;
        run.post(std::move(failed));
        return;
    }
    if (auto* pipe = dynamic_cast<ListPipe*>(list.get())) {
        // A pipe is read once, as it comes: nothing to size its entries by ahead of the check. Until its writer
        // comes, the window says what it waits for rather than "0 of 0 checked".
        Delivery waiting;
        waiting.waitingForWriter = true;
        run.post(std::move(waiting));
        if (!pipe->waitForWriter([&run] { return run.isCancelled(); })) {
            return;
        }
        Delivery come;
        come.waitingForWriter = false;
        run.post(std::move(come));
    } else {
        run.startBeside([open, listPath](CheckRun& sizing) { sizeListJob(sizing, open, listPath); });
    }

    const auto watch = std::make_shared<StallWatch>();
    if (!options.opener) {
        options.opener = options.readAnyFile ? AnyFile::open : RegularFile::open;
    }
    const auto outside = std::make_shared<LinkedOutside>(folderOfList(listPath));
    options.opener = watch->watch(outside->watch(std::move(options.opener)));
    // Read on a thread of its own: a list that comes slowly holds back no verdict of the lines that have come.
    LineFeed lines(std::move(list), parserOptionsFor(listPath), [&run](std::function<void()> read) {
        return run.startBeside([read = std::move(read)](CheckRun&) { read(); });
    });
    ListRows rows(run, *watch, *outside);
    {
        DigestBatch batch(options);
        const AttachedBatch attached(run, batch);
        BatchSource source(batch);
        verifyListAsKnown(lines, source, rows, verifyOptionsFor(listPath));
    }
    if (run.isCancelled()) {
        return;
    }
    Delivery last;
    if (lines.failed()) {
        last.problems.append(tr("The list could not be read to its end: %1").arg(lines.errorString()));
    } else if (!rows.anyLine()) {
        last.problems.append(tr("The list holds no checksum lines."));
    }
    last.finished = true;
    rows.flush();
    run.post(std::move(last));
}
