#pragma once

#include "Hasher.h"

std::unique_ptr<Hasher> createOpenSslHasher(HashAlgorithm algorithm, QString* error);
