#pragma once

#include <QByteArray>

// Standard output through the C library's buffer. A failed write (a full disk, a closed pipe) is remembered, so that
// the program ends with an error instead of a silent success.
namespace StandardOutput {
void write(const QByteArray& bytes);
// Sends what is buffered; false once any write has failed.
bool flush();
bool failed();
} // namespace StandardOutput
