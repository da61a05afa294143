#pragma once

#include "Algorithms.h"
#include "DigestBatch.h"

#include <QByteArray>

class CheckRun;
struct Delivery;

// The digests a data file given alone is read for: the window's four and SHA-512, so that a later paste of any of
// them is answered without another read.
AlgorithmSet firstReadAlgorithms();

// On a worker: the digests published beside the file as rows to check it against (their candidates added to
// algorithms), the checksum files they came from, and the problems found with them.
Delivery publishedBeside(const QByteArray& path, AlgorithmSet& algorithms);

// On a worker: when discover is set, first hands over one row per digest published beside the file; then reads the
// file once for algorithms and those rows' candidates, and hands over the digests (or the failure).
void readFileJob(CheckRun& run, const QByteArray& path, AlgorithmSet algorithms, bool discover,
                 const DigestBatchOptions& options);

// On a worker: hands over the data file's identity as it is now, when it is a regular file that no program has open
// for writing, so that digests of an earlier read answer only for the same version.
void lookJob(CheckRun& run, const QByteArray& path);
