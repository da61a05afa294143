#pragma once

#include <optional>
#include <QByteArray>
#include <QString>

// One key of a settings file read and edited as lines, so that a store of ours never rewrites what it did not put
// there: a person's comments, lines in other groups (readable or not), CR LF ends, bytes that are not UTF-8 and a
// last line without its end all stay as they were, byte for byte.

// The value of the last line "key=value" in a group "[section]", unquoted; nothing when there is none.
std::optional<QString> iniValue(const QByteArray& file, const QString& section, const QString& key);

// The file with that line's value replaced and the rest untouched; the line added at the top of the group, or the
// group at the end of the file, when absent.
QByteArray withIniValue(const QByteArray& file, const QString& section, const QString& key, const QString& value);
