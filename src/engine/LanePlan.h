#pragma once

#include "Hasher.h"

#include <array>
#include <QString>
#include <vector>

// Which digests each lane (thread) computes. Every digest must see every block in order, so one digest cannot be
// split between lanes; the plan decides only how the four are grouped.
using LanePlan = std::vector<std::vector<HashAlgorithm>>;

inline constexpr std::array<HashAlgorithm, 4> kAllAlgorithms{HashAlgorithm::Crc32, HashAlgorithm::Md5,
                                                             HashAlgorithm::Sha1, HashAlgorithm::Sha256};

// Seconds per byte of each digest on one core, indexed by HashAlgorithm.
using DigestCosts = std::array<double, 4>;

// The grouping into at most maxLanes lanes whose busiest lane has the least work; among equals, the one with fewest
// lanes, then the most even. Empty lanes are left out.
LanePlan planLanes(const DigestCosts& costs, int maxLanes);

// Each digest's cost on this machine, timed on a short buffer: whether the processor has instructions for SHA
// changes the best grouping.
DigestCosts measureDigestCosts();

// "CRC-32, SHA-1 | MD5": lanes and the names in each sorted, so that equal plans read the same.
QString describeLanes(const LanePlan& plan);

// The plan for this machine, made once per process: measured costs, one lane per available core, at most four.
const LanePlan& fittedLanePlan();
