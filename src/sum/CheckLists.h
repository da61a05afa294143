#pragma once

#include "SumOptions.h"

class DigestSource;

// Checks every list given (standard input when none), printing each entry's result and the closing warnings as the
// GNU tools do. False when anything did not match, could not be read, or no list held a properly formatted line.
bool checkLists(const SumOptions& options, DigestSource& source);

// The bytes that checking the lists will read, for the progress line: the sizes of the regular files their entries
// name, a run of entries naming one file counted once. 0 (unknown) when any list is not a regular file (standard
// input, a FIFO): such a list cannot be read twice, and is not opened here.
quint64 listedBytes(const SumOptions& options);
