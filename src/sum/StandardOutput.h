#pragma once

#include <QByteArray>

// Standard output through the C library's buffer. A failed write (a full disk, a closed pipe) is remembered, so that
// the program ends with an error instead of a silent success.
namespace StandardOutput {
// Hands over one group of whole lines (a file's lines, a verdict) to be sent at once, as the GNU tools send them:
// a reader sees each file's lines when the file is done, an interrupted run keeps them, and a pipe closed by its
// reader ends the run at the next file (SIGPIPE) rather than at exit. Groups that come faster than they can be
// written leave together, in one write.
void write(const QByteArray& bytes);
// Waits until everything written has been given to the system (before a message on standard error).
void drain();
// Sends what is buffered; false once any write has failed.
bool flush();
bool failed();
} // namespace StandardOutput
