#pragma once

#include "DigestService.h"
#include "FileReader.h"
#include "ParallelDigest.h"

#include <array>
#include <functional>
#include <mutex>
#include <optional>

// Computes all four digests of a file in one read and keeps them for the file's other selectors: an analysis
// asks for each digest in turn, and only the first request reads the file. A file that changed in between
// (device, inode, size or modification time) is read again.
class DigestEngine final : public DigestService
{
public:
    using Opener = std::function<OpenedFile(const QByteArray& nativePath)>;

    explicit DigestEngine(Opener opener = RegularFile::open, ParallelDigestOptions options = {});

    DigestOutcome DigestFile(DigestKind kind, const QString& path, qint32 reserved = -1,
                             DigestJob* job = nullptr) override;

    // How many times a file was opened for reading; lets callers see that a cache hit read nothing.
    int readCount() const;

private:
    struct CachedDigests
    {
        FileIdentity identity;
        std::array<QString, 4> hex;
    };

    Opener m_opener;
    ParallelDigestOptions m_options;
    mutable std::mutex m_mutex;
    std::optional<CachedDigests> m_cache;
    int m_readCount = 0;
};
