#include "DigestEngine.h"

#include "Hasher.h"
#include "WatchedReader.h"

#include <QCoreApplication>

namespace {

DigestFailure failureOf(const WatchedReader& reader)
{
    if (reader.changed()) {
        return DigestFailure::ChangedWhileRead;
    }
    return reader.beingWritten() ? DigestFailure::BeingWritten : DigestFailure::ReadError;
}

DigestOutcome fromRead(const DigestJob::Read& read, HashAlgorithm algorithm)
{
    return read.outcomes[indexOf(algorithm)];
}

} // namespace

DigestEngine::DigestEngine(Opener opener, ParallelDigestOptions options)
    : m_opener(std::move(opener)), m_options(std::move(options))
{}

QString DigestEngine::changedWhileReadReason()
{
    return WatchedReader::changedWhileReadReason();
}

DigestOutcome DigestEngine::DigestFile(DigestKind kind, const QString& path, qint32 /*reserved*/, DigestJob* job)
{
    const std::optional<HashAlgorithm> algorithm = algorithmFor(kind);
    if (!algorithm) {
        return DigestOutcome::failed(QCoreApplication::translate("DigestEngine", "Unknown digest selector."),
                                     DigestFailure::ReadError);
    }
    const std::optional<QByteArray> native = nativePathFor(path);
    if (!native || native->isEmpty()) {
        // No file can have such a name.
        return DigestOutcome::failed(
            QCoreApplication::translate("DigestEngine", "The path cannot be represented as a file name."),
            DigestFailure::Missing);
    }
    DigestJob ownJob;
    DigestJob& activeJob = job ? *job : ownJob;

    // The digests of one read describe one version of the file, the one whose facts are shown, even if the
    // file changes after the read: later calls of the same analysis take them from the job.
    if (const std::optional<DigestJob::Read> read = activeJob.read(); read && read->nativePath == *native) {
        return fromRead(*read, *algorithm);
    }
    if (std::optional<DigestOutcome> failure = readAllDigests(*native, activeJob)) {
        return std::move(*failure);
    }
    return fromRead(*activeJob.read(), *algorithm);
}

std::optional<DigestOutcome> DigestEngine::readAllDigests(const QByteArray& nativePath, DigestJob& job)
{
    OpenedFile opened = m_opener(nativePath);
    if (!opened.reader) {
        return DigestOutcome::failed(opened.error, failureForSystemError(opened.systemError, opened.beingWritten));
    }
    const FileIdentity atOpen = opened.reader->identity();
    if (job.shownVersion() && *job.shownVersion() != atOpen) {
        return DigestOutcome::failed(changedWhileReadReason(), DigestFailure::ChangedWhileRead);
    }

    WatchedReader reader(std::move(opened.reader));
    const ParallelDigestResult result = digestInParallel(reader, job, m_options);
    switch (result.status) {
    case ParallelDigestResult::Status::Cancelled:
        return DigestOutcome::cancelled();
    case ParallelDigestResult::Status::Failed:
        return DigestOutcome::failed(result.reason, failureOf(reader));
    case ParallelDigestResult::Status::Ok:
        break;
    }

    if (!reader.unchangedAtEnd()) {
        return DigestOutcome::failed(reader.errorString(), failureOf(reader));
    }
    DigestJob::Read read{nativePath, atOpen, {}, reader.bytesRead()};
    result.algorithms.forEach([&](HashAlgorithm algorithm) {
        const std::size_t i = indexOf(algorithm);
        read.outcomes[i] = result.refusals[i].isEmpty()
                               ? DigestOutcome::ok(QString::fromLatin1(result.digests[i].toHex()))
                               : DigestOutcome::unavailable(result.refusals[i]);
    });
    job.keepRead(std::move(read));
    return std::nullopt;
}
