#pragma once

#include "ChecksumLine.h"

#include <functional>
#include <QByteArray>
#include <QString>
#include <vector>

class QFile;
class QIODevice;
struct VerifyOptions;

// Opens a checksum list for reading line by line: a regular file only (links followed), opened without waiting,
// so that a FIFO put in its place cannot hold the reading thread. False with the system's words otherwise.
bool openListFile(const QByteArray& path, QFile& file, QString* error);

// Opens a checksum list as the command line names it: "-" is standard input (left open afterwards), and a FIFO or
// device is read as it comes, waiting for its writer. 0, or the system's error number.
int openListStream(const QByteArray& path, QFile& file);

// The bytes that checking a list will read, for a progress total: the sizes of the regular files its entries name,
// a run of entries served by one read counted once, standard input not at all. Reads the device to its end.
// sizes, when given, gets each entry's share in the list's order: its file's size on the first entry of a read,
// 0 on the others, -1 where there is no regular file. stop, when given, is asked before each entry's look.
quint64 listedBytes(QIODevice& list, const ParserOptions& parserOptions, const VerifyOptions& verifyOptions,
                    std::vector<qint64>* sizes = nullptr, const std::function<bool()>& stop = {});
// The same for the list at listPath; 0 for a list that is not a regular file, which cannot be read twice.
quint64 listedBytes(const QByteArray& listPath, const ParserOptions& parserOptions, const VerifyOptions& verifyOptions);
