#pragma once

#include "FileReader.h"

#include <functional>
#include <optional>
#include <QLocale>
#include <QString>

enum class PathKind
{
    RegularFile, // symbolic links followed
    Folder,
    Missing, // nothing there
    Other,   // a FIFO, socket or device, or something the system will not let us examine; see the reason
};

PathKind classifyPath(const QString& path, QString* reason = nullptr);

// The six facts shown above the digests, as text, and the version of the file they describe.
struct FileFacts
{
    QString name;
    QString path;
    QString size;
    QString created; // empty where the file system keeps no birth time
    QString accessed;
    QString modified;
    FileIdentity version;
};

// Nothing when the file vanished or stopped being a regular file since it was classified; reason then says why.
std::optional<FileFacts> readFileFacts(const QString& path, const QLocale& locale, QString* reason);

// What one look at a path found: what it is and, for a regular file, its facts or why they could not be read.
struct PathFacts
{
    PathKind kind = PathKind::Missing;
    QString reason;
    std::optional<FileFacts> facts;
};

// Classifies the path and reads its facts. Blocks as long as the file system does: never on the window's thread.
PathFacts gatherFacts(const QString& path, const QLocale& locale);

// Where an analysis gets its facts; tests put one in that hangs.
using FactsReader = std::function<PathFacts(const QString& path)>;
