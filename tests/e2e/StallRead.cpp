// LD_PRELOAD library for the end-to-end test: a read from a file whose name ends in ".stall" hangs for an hour, as
// a read from a failing disk can, so that the test can close the window while a worker is stuck inside read(2).
// Each hang is announced on stderr; every other read goes straight to the C library.

// The fortified headers wrap read() in an inline function of the same name, which would clash with ours.
#undef _FORTIFY_SOURCE

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <dlfcn.h>
#include <string_view>
#include <sys/types.h>
#include <thread>
#include <unistd.h>

namespace {

using ReadFunction = ssize_t (*)(int, void*, size_t);

bool refersToStallFile(int descriptor)
{
    char link[64];
    char path[4096];
    const int written = std::snprintf(link, sizeof link, "/proc/self/fd/%d", descriptor);
    if (written <= 0) {
        return false;
    }
    const ssize_t length = ::readlink(link, path, sizeof path);
    if (length <= 0) {
        return false;
    }
    return std::string_view(path, static_cast<std::size_t>(length)).ends_with(".stall");
}

} // namespace

extern "C" ssize_t read(int descriptor, void* buffer, size_t count)
{
    // Looked up once; the next definition is the C library's own.
    static const auto realRead = reinterpret_cast<ReadFunction>(dlsym(RTLD_NEXT, "read"));
    // The look-up must leave errno as it was: the caller should see only what the real read sets.
    const int savedErrno = errno;
    const bool stall = refersToStallFile(descriptor);
    errno = savedErrno;
    if (stall) {
        // Tells the test the hang really began: a library that failed to load must not pass for a quick exit.
        static constexpr char note[] = "stall-read: holding a read for an hour\n";
        [[maybe_unused]] const ssize_t noted = ::write(STDERR_FILENO, note, sizeof note - 1);
        // sleep_for resumes after signals, so the hang lasts however the process is poked meanwhile.
        std::this_thread::sleep_for(std::chrono::hours(1));
    }
    return realRead(descriptor, buffer, count);
}
