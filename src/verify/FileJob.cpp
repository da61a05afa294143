#include "FileJob.h"

#include "BesideDigests.h"
#include "CheckRun.h"

#include <memory>
#include <mutex>
#include <QCoreApplication>
#include <sys/stat.h>

// What a paste is most likely to need, by how often each is published: a later paste of any of them needs no second
// read. CRC-32 costs next to nothing beside them.
AlgorithmSet firstReadAlgorithms()
{
    return {HashAlgorithm::Crc32, HashAlgorithm::Md5, HashAlgorithm::Sha1, HashAlgorithm::Sha256,
            HashAlgorithm::Sha512};
}

namespace {

// The identity of the file a read opened, noted on the batch's worker; none when it opened two versions.
class OpenedVersion
{
public:
    void note(const FileIdentity& identity)
    {
        const std::lock_guard lock(m_mutex);
        m_consistent = m_consistent && (!m_identity || *m_identity == identity);
        m_identity = identity;
    }
    std::optional<FileIdentity> identity() const
    {
        const std::lock_guard lock(m_mutex);
        return m_consistent ? m_identity : std::nullopt;
    }

private:
    mutable std::mutex m_mutex;
    std::optional<FileIdentity> m_identity;
    bool m_consistent = true;
};

// Two digests of one algorithm for the file that differ: both rows are marked, and the problem names both lines.
void reportDisagreements(const std::vector<PublishedDigest>& found, std::vector<CheckRow>& rows, QStringList& problems)
{
    for (std::size_t i = 0; i < found.size(); ++i) {
        for (std::size_t k = i + 1; k < found.size(); ++k) {
            if (found[i].candidates == found[k].candidates && found[i].expected != found[k].expected) {
                rows[i].conflicting = rows[k].conflicting = true;
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

Delivery publishedBeside(const QByteArray& path, AlgorithmSet& algorithms)
{
    const BesideSearch beside = findPublishedDigests(path);
    Delivery delivery;
    AlgorithmSet published;
    for (const PublishedDigest& digest : beside.found) {
        CheckRow row;
        row.name = path.sliced(path.lastIndexOf('/') + 1);
        row.candidates = digest.candidates;
        row.algorithm = onlyAlgorithm(digest.candidates);
        row.expected = digest.expected;
        row.note = publishedNote(digest);
        published.insert(digest.candidates);
        delivery.newRows.push_back(std::move(row));
    }
    delivery.problems = beside.problems;
    reportDisagreements(beside.found, delivery.newRows, delivery.problems);
    delivery.foundFiles = beside.sources;
    if (!published.empty()) {
        algorithms = published;
    }
    return delivery;
}

void readFileJob(CheckRun& run, const QByteArray& path, AlgorithmSet algorithms, bool discover,
                 const DigestBatchOptions& options)
{
    struct stat status = {};
    if (discover && ::stat(path.constData(), &status) == 0 && S_ISFIFO(status.st_mode)) {
        // Nothing can be published beside a pipe, and it cannot be read twice: what comes through it is a list.
        Delivery pipe;
        pipe.dataFileIsPipe = true;
        pipe.finished = true;
        run.post(std::move(pipe));
        return;
    }
    Delivery chosen;
    if (discover) {
        chosen = publishedBeside(path, algorithms);
    }
    chosen.readFor = algorithms;
    run.post(std::move(chosen));
    if (run.isCancelled()) {
        return;
    }
    QString unused;
    if (const std::optional<FileStatus> before = RegularFile::status(path, &unused)) {
        Delivery sized;
        sized.totalBytes = static_cast<quint64>(before->identity.size);
        run.post(std::move(sized));
    }
    // The version the digests are of is the one opened, which the read itself keeps from changing unseen: a look by
    // name before the read could find one version and the read open the next.
    const auto opened = std::make_shared<OpenedVersion>();
    DigestBatchOptions watched = options;
    watched.opener = [opener = options.opener ? options.opener : decltype(options.opener)(RegularFile::open),
                      opened](const QByteArray& nativePath) {
        OpenedFile file = opener(nativePath);
        if (file.reader) {
            opened->note(file.reader->identity());
        }
        return file;
    };
    FileDigests result;
    {
        DigestBatch batch(watched);
        const AttachedBatch attached(run, batch);
        batch.submit({path, algorithms, false});
        result = batch.takeNext();
    }
    Delivery done;
    // ... and still the one the name gives after the read, or none that a later paste can trust.
    const std::optional<FileIdentity> read = opened->identity();
    if (const std::optional<FileStatus> after = RegularFile::status(path, &unused);
        read && after && *read == after->identity) {
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
