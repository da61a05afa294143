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
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return; // Without the pipe the signals keep their default action, which still ends the program.
    }
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationRequests::takePending);

    struct sigaction action
    {
    };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (const int signalNumber : kCaughtSignals)
        ::sigaction(signalNumber, &action, nullptr);
}

TerminationRequests::~TerminationRequests()
{
    if (g_pipe[0] < 0)
        return;
    for (const int signalNumber : kCaughtSignals)
        ::signal(signalNumber, SIG_DFL);
    delete m_notifier;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void TerminationRequests::takePending()
{
    unsigned char byte = 0;
    while (::read(g_pipe[0], &byte, 1) == 1) {
        m_requested = true;
        emit requested(byte);
    }
}
