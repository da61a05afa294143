#pragma once

#include "Hasher.h"

// BLAKE3's 256-bit digest.
std::unique_ptr<Hasher> createBlake3Hasher();
