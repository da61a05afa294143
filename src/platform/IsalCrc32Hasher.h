#pragma once

#include "Hasher.h"

std::unique_ptr<Hasher> createIsalCrc32Hasher();
