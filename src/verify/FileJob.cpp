#include "FileJob.h"

#include "BesideDigests.h"
#include "CheckRun.h"

#include <QCoreApplication>

// The digests most often published beside a file, so that a later paste of any of them needs no second read.
AlgorithmSet firstReadAlgorithms()
{
    return {HashAlgorithm::Crc32, HashAlgorithm::Md5, HashAlgorithm::Sha1, HashAlgorithm::Sha256,
            HashAlgorithm::Sha512};
}

namespace {

void reportDisagreements(const std::vector<PublishedDigest>& found, QStringList& problems)
{
    for (std::size_t i = 0; i < found.size(); ++i) {
        for (std::size_t k = i + 1; k < found.size(); ++k) {
            if (found[i].candidates == found[k].candidates && found[i].expected != found[k].expected) {
                problems.append(QCoreApplication::translate("FileJob", "%1, line %2 and %3, line %4 disagree.")
                                    .arg(nameText(found[i].source))
                                    .arg(found[i].lineNumber)
                                    .arg(nameText(found[k].source))
                                    .arg(found[k].lineNumber));
            }
        }
    }
}

} // namespace

void readFileJob(CheckRun& run, const QByteArray& path, AlgorithmSet algorithms, bool discover,
                 const DigestBatchOptions& options)
{
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray name = path.sliced(slash + 1);
    if (discover) {
        const BesideSearch beside = findPublishedDigests(path);
        Delivery delivery;
        for (const PublishedDigest& published : beside.found) {
            CheckRow row;
            row.name = name;
            row.candidates = published.candidates;
            row.algorithm = onlyAlgorithm(published.candidates);
            row.expected = published.expected;
            row.note = QCoreApplication::translate("FileJob", "from %1, line %2")
                           .arg(nameText(published.source.sliced(published.source.lastIndexOf('/') + 1)))
                           .arg(published.lineNumber);
            algorithms.insert(published.candidates);
            delivery.newRows.push_back(std::move(row));
        }
        reportDisagreements(beside.found, delivery.problems);
        delivery.foundFiles = beside.sources;
        run.post(std::move(delivery));
    }
    if (run.isCancelled()) {
        return;
    }
    QString unused;
    const std::optional<FileStatus> before = RegularFile::status(path, &unused);
    if (before) {
        Delivery sized;
        sized.totalBytes = static_cast<quint64>(before->identity.size);
        run.post(std::move(sized));
    }
    FileDigests result;
    {
        DigestBatch batch(options);
        const AttachedBatch attached(run, batch);
        batch.submit({path, algorithms, false});
        result = batch.takeNext();
    }
    Delivery done;
    // The version the digests are of: the same before and after the read, or none that a later paste can trust.
    if (const std::optional<FileStatus> after = RegularFile::status(path, &unused);
        before && after && before->identity == after->identity) {
        done.identity = after->identity;
    }
    done.digests = std::move(result);
    done.finished = true;
    run.post(std::move(done));
}

void lookJob(CheckRun& run, const QByteArray& path)
{
    Delivery done;
    if (const OpenedFile opened = RegularFile::open(path); opened.reader) {
        done.identity = opened.reader->identity();
    }
    done.finished = true;
    run.post(std::move(done));
}
