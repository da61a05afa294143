#pragma once

#include "Hasher.h"

// BLAKE3 with so many bytes of its output: 32 is its digest, and any other length reads its output further or less
// far, as its own tool's --length does.
std::unique_ptr<Hasher> createBlake3Hasher(std::size_t digestBytes);
