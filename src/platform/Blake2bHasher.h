#pragma once

#include "Hasher.h"

// BLAKE2b at any whole number of bytes up to 64, each length its own computation (the length is in the parameter
// block, so a shorter digest is not a cut longer one).
// Null when the library refuses the length; error then says so.
std::unique_ptr<Hasher> createBlake2bHasher(std::size_t digestBytes, QString* error);
