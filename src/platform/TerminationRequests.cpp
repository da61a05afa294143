#include "TerminationRequests.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <QSocketNotifier>
#include <unistd.h>

namespace {

constexpr std::array kCaughtSignals{SIGTERM, SIGINT, SIGHUP};

// The handler may only do what is async-signal-safe: it writes the signal's number to a pipe the UI thread watches.
int g_pipe[2] = {-1, -1};
const TerminationRequests* g_owner = nullptr;
std::array<struct sigaction, kCaughtSignals.size()> g_previous{};
std::array<bool, kCaughtSignals.size()> g_caught{};

void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

TerminationRequests::TerminationRequests(QObject* parent) : QObject(parent)
{
    // One owner of the handlers at a time; a second instance stays inert rather than steal or break them.
    if (g_owner || ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return; // Without the pipe the signals keep their actions, which still end the program.
    }
    g_owner = this;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationRequests::takePending);

    struct sigaction action
    {
    };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (std::size_t i = 0; i < kCaughtSignals.size(); ++i) {
        ::sigaction(kCaughtSignals[i], nullptr, &g_previous[i]);
        // A signal ignored by whoever started us (nohup, a script's background job) stays ignored.
        g_caught[i] = g_previous[i].sa_handler != SIG_IGN;
        if (g_caught[i]) {
            ::sigaction(kCaughtSignals[i], &action, nullptr);
        }
    }
}

TerminationRequests::~TerminationRequests()
{
    if (g_owner != this) {
        return;
    }
    for (std::size_t i = 0; i < kCaughtSignals.size(); ++i) {
        if (g_caught[i]) {
            ::sigaction(kCaughtSignals[i], &g_previous[i], nullptr);
        }
    }
    delete m_notifier;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
    g_owner = nullptr;
}

void TerminationRequests::takePending()
{
    unsigned char byte = 0;
    while (::read(g_pipe[0], &byte, 1) == 1) {
        m_requested = true;
        emit requested(byte);
    }
}
