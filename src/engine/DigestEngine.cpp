#include "DigestEngine.h"

#include "Hasher.h"

#include <QCoreApplication>

namespace {

std::size_t slotFor(DigestKind kind)
{
    switch (kind) {
    case DigestKind::Crc32:
        return static_cast<std::size_t>(HashAlgorithm::Crc32);
    case DigestKind::Md5:
        return static_cast<std::size_t>(HashAlgorithm::Md5);
    case DigestKind::Sha1:
        return static_cast<std::size_t>(HashAlgorithm::Sha1);
    case DigestKind::Sha256:
        return static_cast<std::size_t>(HashAlgorithm::Sha256);
    }
    return 0;
}

bool isKnown(DigestKind kind)
{
    return kind == DigestKind::Crc32 || kind == DigestKind::Md5 || kind == DigestKind::Sha1 ||
           kind == DigestKind::Sha256;
}

} // namespace

DigestEngine::DigestEngine(Opener opener, ParallelDigestOptions options)
    : m_opener(std::move(opener)), m_options(options)
{}

int DigestEngine::readCount() const
{
    std::lock_guard lock(m_mutex);
    return m_readCount;
}

DigestOutcome DigestEngine::DigestFile(DigestKind kind, const QString& path, qint32 /*reserved*/, DigestJob* job)
{
    if (!isKnown(kind)) {
        return DigestOutcome::failed(QCoreApplication::translate("DigestEngine", "Unknown digest selector."));
    }
    const std::optional<QByteArray> native = nativePathFor(path);
    if (!native || native->isEmpty()) {
        return DigestOutcome::failed(
            QCoreApplication::translate("DigestEngine", "The path cannot be represented as a file name."));
    }

    QString reason;
    const std::optional<FileIdentity> identity = RegularFile::identify(*native, &reason);
    if (!identity) {
        return DigestOutcome::failed(reason);
    }
    {
        std::lock_guard lock(m_mutex);
        if (m_cache && m_cache->identity == *identity) {
            return DigestOutcome::ok(m_cache->hex[slotFor(kind)]);
        }
        ++m_readCount;
    }

    OpenedFile opened = m_opener(*native);
    if (!opened.reader) {
        return DigestOutcome::failed(opened.error);
    }
    DigestJob ownJob;
    DigestJob& activeJob = job ? *job : ownJob;
    const ParallelDigestResult result = digestInParallel(*opened.reader, activeJob, m_options);
    switch (result.status) {
    case ParallelDigestResult::Status::Cancelled:
        return DigestOutcome::cancelled();
    case ParallelDigestResult::Status::Failed:
        return DigestOutcome::failed(result.reason);
    case ParallelDigestResult::Status::Ok:
        break;
    }

    CachedDigests digests{opened.reader->identity(), {}};
    for (std::size_t i = 0; i < digests.hex.size(); ++i) {
        digests.hex[i] = QString::fromLatin1(result.digests[i].toHex());
    }
    std::lock_guard lock(m_mutex);
    m_cache = digests;
    return DigestOutcome::ok(m_cache->hex[slotFor(kind)]);
}
