#pragma once

#include <optional>
#include <QByteArray>
#include <QString>

// File names on Linux are bytes, mostly but not always UTF-8 (old archives hold Latin-1 names). A name is carried
// as text with each byte that is not part of valid UTF-8 kept as one of the lone surrogates U+DC80..U+DCFF, so that
// the text names the very same file when turned back into bytes; shown, such a byte reads as a replacement mark.
// Decoding lossily instead would turn "caf\xe9.txt" into "caf\uFFFD.txt", a different file that may exist.
QString textForNativePath(const QByteArray& native);

// The text to show a person, valid text that names this one path and no other, so that what is shown and copied
// from it never passes for another file's name. A path of valid UTF-8 without a backslash, without a space at
// either end of a name, and without a character that cannot be seen or that moves the text around it (a control such
// as a line feed, a zero-width space, a direction mark, a variation selector or any other default-ignorable code
// point, a no-break space, a blank letter, an unassigned code point; the joiners that scripts and emoji are written
// with excepted), is shown as it is. Any other has each byte of those characters and spaces and each byte that is not
// UTF-8 shown as \xHH, and each backslash doubled: "caf\xE9.txt" for the Latin-1 name, "caf\\xE9.txt" for a name
// that really holds those four characters, "a\x0Ab" for a name holding a line feed, "a\x20" for "a ". Where the
// path holds right-to-left text, each name between slashes is put in a first-strong isolate (U+2068 ... U+2069), so
// that it is drawn in a place of its own. Forms that are canonically equivalent (NFC against NFD) and letters of
// other scripts that look alike are shown as they are, and so alike.
QString displayTextForPath(const QString& path);

// The shown text as it is copied: without the isolates, which only place each name when drawn. What is left is the
// escaped text, unchanged.
QString textToCopy(const QString& shown);

// Text whose backslashes are escaped already (a checksum line's name), with each byte that is not UTF-8, and each
// byte of a character that cannot be seen or moves the text around it, as \xHH.
QString carriedBytesAsEscapes(const QString& escapedText);

// The bytes a text names, or nothing when it names no file: a NUL would cut the path short, and a lone surrogate
// outside the byte range stands for no byte at all.
std::optional<QByteArray> nativePathFor(const QString& path);
