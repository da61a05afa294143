#pragma once

#include "ChecksumLine.h"

#include <QByteArrayView>
#include <QString>

// Why a line of a list could not be understood, where something more than "not a checksum line" can be said.
struct LineTrouble
{
    enum Kind
    {
        Unknown,
        ByteOrderMark,     // the list starts with one, which no checksum line holds
        TooLong,           // longer than any checksum line
        UnsupportedLength, // a digest of a length no algorithm here has
        TruncatedDigest,   // a digest shorter than its algorithm's, as when the end of a file was cut off
        NoName,            // a whole digest with no file named after it
    };
    Kind kind = Unknown;
    qsizetype digits = 0;   // UnsupportedLength and TruncatedDigest: the digits found
    qsizetype expected = 0; // TruncatedDigest: the digits of a whole digest
};

// The trouble with LINE, which PARSED found improperly formatted.
LineTrouble troubleOf(QByteArrayView line, const ParsedLine& parsed);

// "Line 7 could not be understood: …".
QString lineTroubleText(quint64 lineNumber, const LineTrouble& trouble);
