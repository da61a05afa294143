#include "DigestEngine.h"

#include "Hasher.h"

#include <QCoreApplication>

namespace {

std::optional<HashAlgorithm> algorithmFor(DigestKind kind)
{
    switch (kind) {
    case DigestKind::Crc32:
        return HashAlgorithm::Crc32;
    case DigestKind::Md5:
        return HashAlgorithm::Md5;
    case DigestKind::Sha1:
        return HashAlgorithm::Sha1;
    case DigestKind::Sha256:
        return HashAlgorithm::Sha256;
    }
    return std::nullopt;
}

DigestOutcome fromRead(const DigestJob::Read& read, HashAlgorithm algorithm)
{
    return read.outcomes[static_cast<std::size_t>(algorithm)];
}

// Looks at the open file's identity every so many reads, so that a file changed early in a long read is reported
// then, not only when the read ends.
class WatchedReader final : public FileReader
{
public:
    static constexpr int kReadsBetweenLooks = 64;

    explicit WatchedReader(std::unique_ptr<FileReader> inner) : m_inner(std::move(inner)) {}

    qint64 read(std::span<std::byte> buffer) override
    {
        if (++m_reads % kReadsBetweenLooks == 0) {
            const std::optional<FileIdentity> now = m_inner->currentIdentity();
            if (!now || *now != m_inner->identity()) {
                m_error = now ? DigestEngine::changedWhileReadReason() : m_inner->errorString();
                return -1;
            }
        }
        const qint64 count = m_inner->read(buffer);
        if (count > 0) {
            m_bytesRead += static_cast<quint64>(count);
        }
        return count;
    }
    quint64 bytesRead() const { return m_bytesRead; }
    QString errorString() const override { return m_error.isEmpty() ? m_inner->errorString() : m_error; }
    FileIdentity identity() const override { return m_inner->identity(); }
    std::optional<FileIdentity> currentIdentity() override { return m_inner->currentIdentity(); }

private:
    std::unique_ptr<FileReader> m_inner;
    int m_reads = 0;
    quint64 m_bytesRead = 0;
    QString m_error;
};

} // namespace

DigestEngine::DigestEngine(Opener opener, ParallelDigestOptions options)
    : m_opener(std::move(opener)), m_options(std::move(options))
{}

QString DigestEngine::changedWhileReadReason()
{
    return QCoreApplication::translate("DigestEngine", "The file changed while it was being read.");
}

DigestOutcome DigestEngine::DigestFile(DigestKind kind, const QString& path, qint32 /*reserved*/, DigestJob* job)
{
    const std::optional<HashAlgorithm> algorithm = algorithmFor(kind);
    if (!algorithm) {
        return DigestOutcome::failed(QCoreApplication::translate("DigestEngine", "Unknown digest selector."));
    }
    const std::optional<QByteArray> native = nativePathFor(path);
    if (!native || native->isEmpty()) {
        return DigestOutcome::failed(
            QCoreApplication::translate("DigestEngine", "The path cannot be represented as a file name."));
    }
    DigestJob ownJob;
    DigestJob& activeJob = job ? *job : ownJob;

    // The four digests of one read describe one version of the file, the one whose facts are shown, even if the
    // file changes after the read: later calls of the same analysis take them from the job.
    if (const std::optional<DigestJob::Read> read = activeJob.read(); read && read->nativePath == *native) {
        return fromRead(*read, *algorithm);
    }
    const DigestOutcome outcome = readAllDigests(*native, activeJob);
    if (!outcome.isOk()) {
        return outcome;
    }
    return fromRead(*activeJob.read(), *algorithm);
}

DigestOutcome DigestEngine::readAllDigests(const QByteArray& nativePath, DigestJob& job)
{
    OpenedFile opened = m_opener(nativePath);
    if (!opened.reader) {
        return DigestOutcome::failed(opened.error);
    }
    const FileIdentity atOpen = opened.reader->identity();
    if (job.shownVersion() && *job.shownVersion() != atOpen) {
        return DigestOutcome::failed(changedWhileReadReason());
    }

    WatchedReader reader(std::move(opened.reader));
    const ParallelDigestResult result = digestInParallel(reader, job, m_options);
    switch (result.status) {
    case ParallelDigestResult::Status::Cancelled:
        return DigestOutcome::cancelled();
    case ParallelDigestResult::Status::Failed:
        return DigestOutcome::failed(result.reason);
    case ParallelDigestResult::Status::Ok:
        break;
    }

    const std::optional<FileIdentity> atEnd = reader.currentIdentity();
    if (!atEnd) {
        return DigestOutcome::failed(reader.errorString());
    }
    if (*atEnd != atOpen) {
        return DigestOutcome::failed(changedWhileReadReason());
    }
    DigestJob::Read read{nativePath, atOpen, {}, reader.bytesRead()};
    for (std::size_t i = 0; i < read.outcomes.size(); ++i) {
        read.outcomes[i] = result.refusals[i].isEmpty()
                               ? DigestOutcome::ok(QString::fromLatin1(result.digests[i].toHex()))
                               : DigestOutcome::unavailable(result.refusals[i]);
    }
    job.keepRead(std::move(read));
    return DigestOutcome::ok(QString());
}
