#pragma once

#include "DigestBatch.h"

#include <functional>
#include <memory>
#include <QByteArray>
#include <QIODevice>

class CheckRun;

// Opens a checksum list for reading, or gives the system's words.
using ListOpener = std::function<std::unique_ptr<QIODevice>(const QByteArray& listPath, QString* error)>;

// The folder a list's relative names are taken against: the list's own, with its trailing '/'; empty for a list
// named without a folder (the current one), or standard input.
QByteArray folderOfList(const QByteArray& listPath);

// A regular file, or a pipe read as it comes; opened without waiting (see openListToRead).
std::unique_ptr<QIODevice> openListDevice(const QByteArray& listPath, QString* error);

// On a worker: checks the list's entries through the verify loop on the engine's pool, handing over a row per entry
// as it is read (lines not understood and disagreeing duplicates as problems) and each answer as soon as it is
// known, whatever the entries before it are waiting for. The sizes of the entries' files come from a worker beside
// it.
void checkListJob(CheckRun& run, const QByteArray& listPath, DigestBatchOptions options,
                  const ListOpener& open = openListDevice);
