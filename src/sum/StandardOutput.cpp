#include "StandardOutput.h"

#include <cstdio>

namespace StandardOutput {

void write(const QByteArray& bytes)
{
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
