#pragma once

#include "Hasher.h"

// XXH32, XXH64, XXH3 (64 bits) and XXH128; nothing for the other algorithms.
std::unique_ptr<Hasher> createXxHashHasher(HashAlgorithm algorithm);
