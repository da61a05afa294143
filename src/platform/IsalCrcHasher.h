#pragma once

#include "Hasher.h"

// CRC-32 (zip, PNG) and CRC-32C (iSCSI, ext4, cloud storage); nothing for the other algorithms.
std::unique_ptr<Hasher> createIsalCrcHasher(HashAlgorithm algorithm);
