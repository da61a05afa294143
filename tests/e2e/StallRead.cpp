// LD_PRELOAD library for the end-to-end tests: reads that do not return when a file should, as a read from a failing
// disk or a slow network share does, so that a test can act while a worker is stuck inside read(2).
//   *.stall  a read hangs for an hour: the test closes the window meanwhile.
//   *.hold   a read waits until the file named by KESWIN_HOLD_RELEASE exists: the test changes the file (deletes,
//            truncates or grows it) while the program is inside the read, then lets the read go on.
//   *.slow   every read takes 50 ms, as from a slow share: a read of a few dozen MiB lasts seconds.
// Each wait is announced on stderr; every other read goes straight to the C library.

// The fortified headers wrap read() in an inline function of the same name, which would clash with ours.
#undef _FORTIFY_SOURCE

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <string_view>
#include <sys/types.h>
#include <thread>
#include <unistd.h>

namespace {

using ReadFunction = ssize_t (*)(int, void*, size_t);

enum class Wait
{
    None,
    Stall,
    Hold,
    Slow,
};

Wait waitFor(int descriptor)
{
    char link[64];
    char path[4096];
    const int written = std::snprintf(link, sizeof link, "/proc/self/fd/%d", descriptor);
    if (written <= 0) {
        return Wait::None;
    }
    const ssize_t length = ::readlink(link, path, sizeof path);
    if (length <= 0) {
        return Wait::None;
    }
    const std::string_view name(path, static_cast<std::size_t>(length));
    if (name.ends_with(".stall")) {
        return Wait::Stall;
    }
    if (name.ends_with(".slow")) {
        return Wait::Slow;
    }
    return name.ends_with(".hold") ? Wait::Hold : Wait::None;
}

void note(std::string_view text)
{
    [[maybe_unused]] const ssize_t noted = ::write(STDERR_FILENO, text.data(), text.size());
}

// Waits until the release file exists; without one named, the read is not held at all.
void holdUntilReleased()
{
    const char* release = std::getenv("KESWIN_HOLD_RELEASE");
    if (!release || !*release || ::access(release, F_OK) == 0) {
        return;
    }
    // Announced only once the wait is certain: the test changes the file as soon as it reads this line.
    note("stall-read: holding a read until released\n");
    while (::access(release, F_OK) != 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    note("stall-read: released\n");
}

} // namespace

extern "C" ssize_t read(int descriptor, void* buffer, size_t count)
{
    // Looked up once; the next definition is the C library's own.
    static const auto realRead = reinterpret_cast<ReadFunction>(dlsym(RTLD_NEXT, "read"));
    // The look-up must leave errno as it was: the caller should see only what the real read sets.
    const int savedErrno = errno;
    const Wait wait = waitFor(descriptor);
    if (wait == Wait::Stall) {
        // Tells the test the hang really began: a library that failed to load must not pass for a quick exit.
        note("stall-read: holding a read for an hour\n");
        // sleep_for resumes after signals, so the hang lasts however the process is poked meanwhile.
        std::this_thread::sleep_for(std::chrono::hours(1));
    } else if (wait == Wait::Hold) {
        holdUntilReleased();
    } else if (wait == Wait::Slow) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    errno = savedErrno;
    return realRead(descriptor, buffer, count);
}
