#pragma once

#include "SumOptions.h"

class DigestSource;

// Checks every list given (standard input when none), printing each entry's result and the closing warnings as the
// GNU tools do. False when anything did not match, could not be read, or no list held a properly formatted line.
bool checkLists(const SumOptions& options, DigestSource& source);

// The bytes that checking the lists will read, for the progress line: the sizes of the regular files their entries
// name, a run of entries naming one file counted once. Lists that are not regular files (standard input, a pipe)
// cannot be read twice and count nothing.
quint64 listedBytes(const SumOptions& options);
