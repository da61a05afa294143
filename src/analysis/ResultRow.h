#pragma once

#include "DigestKind.h"

#include <array>

// The ten facts about a file, in the order the window and the reports list them.
enum class ResultRow
{
    FileName,
    FilePath,
    CreatedDate,
    LastAccessed,
    LastModified,
    FileSize,
    Crc32,
    Md5,
    Sha1,
    Sha256,
};

inline constexpr std::array<ResultRow, 10> kAllRows{
    ResultRow::FileName, ResultRow::FilePath, ResultRow::CreatedDate, ResultRow::LastAccessed, ResultRow::LastModified,
    ResultRow::FileSize, ResultRow::Crc32,    ResultRow::Md5,         ResultRow::Sha1,         ResultRow::Sha256,
};

constexpr ResultRow rowFor(DigestKind kind)
{
    switch (kind) {
    case DigestKind::Md5:
        return ResultRow::Md5;
    case DigestKind::Sha1:
        return ResultRow::Sha1;
    case DigestKind::Sha256:
        return ResultRow::Sha256;
    case DigestKind::Crc32:
        break;
    }
    return ResultRow::Crc32;
}
