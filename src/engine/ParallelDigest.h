#pragma once

#include "DigestJob.h"

#include <array>
#include <cstddef>
#include <QByteArray>
#include <QString>

class FileReader;

struct ParallelDigestOptions
{
    std::size_t blockSize = std::size_t{1} << 20;
    std::size_t blocksInFlight = 6;
};

// All four raw digests of one pass over a reader, indexed by HashAlgorithm.
struct ParallelDigestResult
{
    enum class Status
    {
        Ok,
        Failed,
        Cancelled,
    };
    Status status = Status::Failed;
    QString reason;
    std::array<QByteArray, 4> digests;
};

// Reads the file once on the calling thread while two lanes digest the blocks: MD5, which cannot be split and is
// the slowest, alone on one core, and SHA-1, SHA-256 and CRC-32 on the other. Memory stays at a fixed number of
// blocks whatever the file's size.
ParallelDigestResult digestInParallel(FileReader& reader, DigestJob& job, const ParallelDigestOptions& options = {});
