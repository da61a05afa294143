#pragma once

#include "SumOptions.h"

class DigestBatch;

// Prints the checksum lines of every file, in the order given, each file's as soon as it and those before it are
// done. False when any file could not be read (its message is on standard error).
bool makeSums(const SumOptions& options, DigestBatch& batch);
