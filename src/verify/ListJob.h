#pragma once

#include "DigestBatch.h"

#include <QByteArray>

class CheckRun;

// The folder a list's relative names are taken against: the list's own, with its trailing '/'; empty for a list
// named without a folder (the current one).
QByteArray folderOfList(const QByteArray& listPath);

// On a worker: totals the bytes the list's entries name, then checks its entries through the verify loop on the
// engine's pool, handing over a row per entry as it is read (lines not understood and disagreeing duplicates as
// problems) and each answer as it comes, in the list's order.
void checkListJob(CheckRun& run, const QByteArray& listPath, const DigestBatchOptions& options);
