#pragma once

#include "ChecksumLine.h"
#include "LineTrouble.h"

#include <optional>
#include <QByteArray>
#include <QString>

class QIODevice;

// One line of a list as read: its number (from 1) and what it says.
struct ListLine
{
    quint64 number = 0;
    ParsedLine parsed;
    LineTrouble trouble; // why an improperly formatted line is one
};

// Streams a checksum list line by line from a device, holding at most one line and one block in memory: a list of
// a million lines is never loaded, and a line longer than the limit is counted improperly formatted without being
// kept. Lines end at LF; the last one may lack it.
class ChecksumListReader
{
public:
    static constexpr qsizetype kDefaultLineLimit = 64 * 1024;

    ChecksumListReader(QIODevice& device, ParserOptions options, qsizetype lineLimit = kDefaultLineLimit);

    // The next line that is not skipped (an entry or an improperly formatted line); nothing at the end or on error.
    std::optional<ListLine> next();

    // Whether reading stopped on an error of the device rather than at its end.
    bool failed() const { return m_failed; }
    QString errorString() const { return m_error; }

private:
    // The next raw line, without its LF; nothing at the end. An overlong line comes back as nothing but its number.
    bool nextRaw(QByteArray& line, bool& overlong);
    bool fill();

    QIODevice& m_device;
    ChecksumLineParser m_parser;
    qsizetype m_lineLimit;
    QByteArray m_block;
    qsizetype m_at = 0;
    quint64 m_number = 0;
    bool m_atEnd = false;
    bool m_failed = false;
    QString m_error;
};
