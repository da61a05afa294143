#pragma once

#include <QByteArray>
#include <QByteArrayView>

// A file name as the GNU tools quote it in their messages, so that a shell reading the message gets the name back:
// bare when nothing in it is special to a shell, else in single quotes with $'\n' escapes for what cannot be shown
// (or in double quotes when it holds a single quote and nothing else special). Bytes that are not UTF-8 are shown as
// octal escapes when utf8 is set; without it, as in the C locale, every byte above 127 is.
QByteArray quotedName(QByteArrayView name, bool utf8);
