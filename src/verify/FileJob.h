#pragma once

#include "Algorithms.h"
#include "DigestBatch.h"

#include <QByteArray>

class CheckRun;
struct Delivery;

// The digests a data file with nothing published beside it is read for: the window's four and SHA-512, so that a
// later paste of any of them is answered without another read.
AlgorithmSet firstReadAlgorithms();

// On a worker: the digests published beside the file as rows to check it against, the checksum files they came
// from, and the problems found with them (lines meant for it that could not be used, digests that disagree). When
// anything is published, algorithms becomes the rows' candidates alone, so that the answer costs those digests only.
Delivery publishedBeside(const QByteArray& path, AlgorithmSet& algorithms);

// On a worker: when discover is set, first hands over one row per digest published beside the file (and the lines
// meant for it that could not be used), then reads the file once for those rows' candidates alone, or for
// algorithms when there are none; says which before reading, and hands over the digests (or the failure). A FIFO
// found where the file was expected is handed back unread, as a list to read (Delivery::dataFileIsPipe).
void readFileJob(CheckRun& run, const QByteArray& path, AlgorithmSet algorithms, bool discover,
                 const DigestBatchOptions& options);

// On a worker: hands over the data file's identity as it is now, when it is a regular file that no program has open
// for writing, so that digests of an earlier read answer only for the same version.
void lookJob(CheckRun& run, const QByteArray& path);
