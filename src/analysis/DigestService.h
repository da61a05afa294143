#pragma once

#include "DigestJob.h"
#include "DigestKind.h"
#include "DigestOutcome.h"

#include <QString>

// What an analysis needs of a digest engine; tests put a controllable one in its place.
class DigestService
{
public:
    virtual ~DigestService() = default;

    // Blocks until the digest is ready, failed, or job was cancelled. Safe to call from any thread.
    // `reserved` is carried for the engine's calling convention; callers pass -1.
    virtual DigestOutcome DigestFile(DigestKind kind, const QString& path, qint32 reserved = -1,
                                     DigestJob* job = nullptr) = 0;
};
