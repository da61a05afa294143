#pragma once

#include "Algorithms.h"

#include <optional>
#include <QByteArrayView>

// The pieces of a checksum line the parser reads by: blanks, hex, and a tagged line's tag and length.

inline bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

inline bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

inline qsizetype hexRun(QByteArrayView text)
{
    qsizetype n = 0;
    while (n < text.size() && isHexDigit(text[n])) {
        ++n;
    }
    return n;
}

struct TagMatch
{
    HashAlgorithm algorithm;
    qsizetype end; // where the text goes on after the tag
};

// The tag at the start of text; the longest wins, for "SHA3-256". A tag ends at a blank, '-' (a length follows), '('
// or the end.
std::optional<TagMatch> tagAt(QByteArrayView text);

// The bit length in "SHA256-256 (", read at i as the other tools read it, a C number of any base: blanks first, then
// '+', then "0x" for hex or a leading 0 for octal. Where the number ends; nothing when there is none or it overflows.
std::optional<qsizetype> bitLengthAt(QByteArrayView text, qsizetype i, quint64& bits);

// Whether the text after a tag has a tagged line's shape, "(NAME) = HEX" with hex of any length, a length or blanks
// before the '('. "MD5 (x) = y E8B7BE43" has not: it is SFV's line for a file named "MD5 (x) = y".
bool taggedShape(QByteArrayView rest, qsizetype afterTag);
