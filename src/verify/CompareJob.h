#pragma once

#include "FileReader.h"

#include <cstddef>
#include <functional>
#include <QByteArray>

class CheckRun;

using FileOpener = std::function<OpenedFile(const QByteArray& nativePath)>;

// On a worker: reads two files side by side, block by block, once each, and answers rows 0 and 1 with identical,
// different (the first differing byte in the note) or the failure of either. A file that changes while it is read
// is "changed", never "identical".
void compareJob(CheckRun& run, const QByteArray& first, const QByteArray& second, const FileOpener& opener,
                std::size_t blockSize = std::size_t{256} << 10);
