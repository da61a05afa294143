#pragma once

#include "Algorithms.h"

#include <array>
#include <QString>
#include <vector>

// Which digests each lane (thread) computes. Every digest must see every block in order, so one digest cannot be
// split between lanes; the plan decides only how the digests asked for are grouped.
using LanePlan = std::vector<std::vector<HashAlgorithm>>;

// Seconds per byte of each digest on one core, indexed by HashAlgorithm.
using DigestCosts = std::array<double, kAlgorithmCount>;

// The grouping of the given digests into at most maxLanes lanes whose busiest lane has the least work; among equals,
// the one with fewest lanes, then the most even. Empty lanes are left out. Exact for a few digests; beyond that, the
// largest first, each to the least loaded lane.
LanePlan planLanes(const AlgorithmSet& algorithms, const DigestCosts& costs, int maxLanes);

// Each digest's cost on this machine, timed once per process on a short buffer and only for the digests asked for:
// whether the processor has instructions for SHA changes the best grouping. A digest the library refuses costs 0.
DigestCosts measuredDigestCosts(const AlgorithmSet& algorithms);

// "CRC-32, SHA-1 | MD5": lanes and the names in each sorted, so that equal plans read the same.
QString describeLanes(const LanePlan& plan);

// The plan for this machine and these digests: measured costs, at most maxLanes lanes.
LanePlan fittedLanePlan(const AlgorithmSet& algorithms, int maxLanes);
