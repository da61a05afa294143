#pragma once

#include <optional>
#include <QByteArray>
#include <QByteArrayView>

// File names in checksum lines, escaped as the GNU tools escape them so that one entry stays one line: a name holding
// a backslash, a line feed or a carriage return is written as \\, \n and \r, and its line starts with a backslash.

// Whether a name must be escaped on a checksum line.
bool nameNeedsEscape(QByteArrayView name);

// The name with \, LF and CR escaped (the caller adds the line's leading backslash).
QByteArray escapeName(QByteArrayView name);

// The name an escaped text stands for; nothing for a lone trailing backslash or any escape but \\, \n and \r.
std::optional<QByteArray> unescapeName(QByteArrayView text);
