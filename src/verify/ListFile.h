#pragma once

#include <QByteArray>
#include <QString>

class QFile;

// Opens a checksum list for reading line by line: a regular file only (links followed), opened without waiting,
// so that a FIFO put in its place cannot hold the reading thread. False with the system's words otherwise.
bool openListFile(const QByteArray& path, QFile& file, QString* error);
