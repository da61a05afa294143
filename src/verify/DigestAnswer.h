#pragma once

#include "CheckRow.h"
#include "FileDigests.h"

// The state a failed read leaves a row in.
CheckState stateForFailure(DigestFailure failure);
