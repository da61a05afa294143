#pragma once

#include <QByteArray>

// Standard output through the C library's buffer. Lines leave when the program is about to wait for a file (see
// DigestBatchOptions::beforeWaiting), before any message on standard error and at exit: a reader sees each file's
// lines by the time a slower file is awaited, an interrupted run keeps them, and a pipe closed by its reader ends the
// run at the next write (SIGPIPE), as with the GNU tools, while files that come fast share one write. A failed write
// (a full disk, a closed pipe with SIGPIPE ignored) is remembered, so that the program ends with an error instead of
// a silent success.
namespace StandardOutput {
// Adds one group of whole lines (a file's lines, a verdict).
void write(const QByteArray& bytes);
// Sends what is buffered; false once any write has failed.
bool flush();
bool failed();
} // namespace StandardOutput
