#pragma once

#include <optional>
#include <QDateTime>
#include <QLocale>
#include <QString>

enum class PathKind
{
    RegularFile, // symbolic links followed
    Folder,
    Other, // nothing there, or a FIFO, socket or device
};

PathKind classifyPath(const QString& path);

// The six facts shown above the digests, as text.
struct FileFacts
{
    QString name;
    QString path;
    QString size;
    QString created; // empty where the file system keeps no birth time
    QString accessed;
    QString modified;
};

// Nothing when the file vanished since it was classified; reason then says why.
std::optional<FileFacts> readFileFacts(const QString& path, const QLocale& locale, QString* reason);
