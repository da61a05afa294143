#include "DigestEngine.h"

#include "NativePath.h"
#include "WatchedReader.h"

#include <QCoreApplication>

namespace {

DigestOutcome fromRead(const DigestJob::Read& read, HashAlgorithm algorithm)
{
    return read.outcomes[indexOf(algorithm)];
}

} // namespace

DigestEngine::DigestEngine(Opener opener, DigestBatchOptions options) : m_options(std::move(options))
{
    m_options.opener = std::move(opener);
    // The window has its own words for a folder.
    m_options.systemWordsForFolders = false;
}

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
    DigestBatchOptions options = m_options;
    options.cancelledBy = &job.cancelFlag();
    options.bytesDoneTo = &job.bytesDoneCounter();
    // Lives on the analysis's worker, never the window's thread, so its end may wait for its own workers.
    DigestBatch batch(std::move(options));
    batch.submit({nativePath, windowAlgorithms(), false, job.shownVersion()});
    const FileDigests result = batch.takeNext();
    switch (result.failure) {
    case DigestFailure::None:
    case DigestFailure::DigestRefused:
        break;
    case DigestFailure::Cancelled:
        return DigestOutcome::cancelled();
    default:
        return DigestOutcome::failed(result.reason, result.failure);
    }

    DigestJob::Read read{nativePath, {}, result.bytesRead};
    windowAlgorithms().forEach([&](HashAlgorithm algorithm) {
        const std::size_t i = indexOf(algorithm);
        read.outcomes[i] = result.refusals[i].isEmpty()
                               ? DigestOutcome::ok(QString::fromLatin1(result.digests[i].toHex()))
                               : DigestOutcome::unavailable(result.refusals[i]);
    });
    job.keepRead(std::move(read));
    return std::nullopt;
}
