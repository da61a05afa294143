#pragma once

#include <QByteArray>

// Standard output through the C library's buffer. A failed write (a full disk, a closed pipe) is remembered, so that
// the program ends with an error instead of a silent success.
namespace StandardOutput {
// Writes one group of whole lines (a file's lines, a verdict) and sends it at once, as the GNU tools do: a reader
// sees each file's lines when the file is done, an interrupted run keeps them, and a pipe closed by its reader
// ends the run at the next file (SIGPIPE) rather than at exit.
void write(const QByteArray& bytes);
// Sends what is buffered; false once any write has failed.
bool flush();
bool failed();
} // namespace StandardOutput
