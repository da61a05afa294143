#pragma once

#include "CheckRun.h"

#include <QString>

// The words for a comparison's outcome, one wording wherever it is shown. Bytes are counted from 1, as cmp counts
// them, and the sentence says so.

// The whole outcome: "The files are identical.", "The files differ; the first difference is at byte 5, counting
// from 1 as cmp does.", that one is the other's start and how much shorter it is, or that both names are one file.
QString comparisonText(const Comparison& comparison);
// What a row of the comparison says of its own file (side 0 or 1); empty where the state says it all.
QString comparisonNote(const Comparison& comparison, int side);
