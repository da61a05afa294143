#pragma once

#include "DigestBatch.h"

#include <QByteArray>

class CheckRun;

// The folder a list's relative names are taken against: the list's own, with its trailing '/'; empty for a list
// named without a folder (the current one).
QByteArray folderOfList(const QByteArray& listPath);

// On a worker: reads the list at listPath, hands over one row per entry in the list's order (with lines not
// understood and disagreeing duplicates as problems), then checks every entry on the engine's pool.
void checkListJob(CheckRun& run, const QByteArray& listPath, const DigestBatchOptions& options);
