#include "FileJob.h"

#include "BesideDigests.h"
#include "CheckRun.h"

#include <memory>
#include <mutex>
#include <QCoreApplication>

// The digests most often published beside a file, so that a later paste of any of them needs no second read.
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
            row.path = path;
            row.candidates = published.candidates;
            row.algorithm = onlyAlgorithm(published.candidates);
            row.expected = published.expected;
            row.note = QCoreApplication::translate("FileJob", "from %1, line %2")
                           .arg(nameText(published.source.sliced(published.source.lastIndexOf('/') + 1)))
                           .arg(published.lineNumber);
            algorithms.insert(published.candidates);
            delivery.newRows.push_back(std::move(row));
        }
        delivery.problems += beside.problems;
        reportDisagreements(beside.found, delivery.problems);
        delivery.foundFiles = beside.sources;
        run.post(std::move(delivery));
    }
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
