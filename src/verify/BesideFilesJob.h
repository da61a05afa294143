#pragma once

#include "DigestBatch.h"

#include <QByteArray>
#include <QList>

class CheckRun;

// On a worker: several files, each checked against the digests published beside it. Every file's rows come first,
// a row per digest found beside it, or one saying that none was found (or why the file cannot be read); then each
// file with digests to check is read once for all of its rows' candidates, and its rows are answered in order.
void checkBesideFilesJob(CheckRun& run, const QList<QByteArray>& paths, const DigestBatchOptions& options);
