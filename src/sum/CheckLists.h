#pragma once

#include "SumOptions.h"

class DigestSource;

// Checks every list given (standard input when none), printing each entry's result and the closing warnings as the
// GNU tools do. False when anything did not match, could not be read, or no list held a properly formatted line.
bool checkLists(const SumOptions& options, DigestSource& source);
