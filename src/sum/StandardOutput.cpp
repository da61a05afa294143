#include "StandardOutput.h"

#include "Messages.h"

#include <cstdio>
#include <unistd.h>

namespace StandardOutput {

void write(const QByteArray& bytes)
{
    static const bool toTerminal = ::isatty(STDOUT_FILENO) != 0;
    if (toTerminal) {
        clearProgressLine(); // the progress line may be on the same terminal
    }
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
}

bool flush()
{
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

bool failed()
{
    return std::ferror(stdout) != 0;
}

} // namespace StandardOutput
