#pragma once

#include "DigestBatch.h"
#include "DigestService.h"
#include "FileReader.h"

#include <functional>

// Computes the window's digests of a file in one read, through the many-file engine given this one file. An
// analysis asks for each digest in turn with the same job: the first request reads the file and the job keeps them
// all for the others. The file's identity is checked against the version shown, when it is opened and again when
// the read ends; any change fails the digest rather than give the digest of a mix of versions. Holds no state
// between calls: safe to share between threads.
class DigestEngine final : public DigestService
{
public:
    using Opener = std::function<OpenedFile(const QByteArray& nativePath)>;

    explicit DigestEngine(Opener opener = RegularFile::open, DigestBatchOptions options = {});

    DigestOutcome DigestFile(DigestKind kind, const QString& path, qint32 reserved = -1,
                             DigestJob* job = nullptr) override;

    static QString changedWhileReadReason();

private:
    // Nothing when every digest of the read is kept in the job; else why not.
    std::optional<DigestOutcome> readAllDigests(const QByteArray& nativePath, DigestJob& job);

    DigestBatchOptions m_options;
};
