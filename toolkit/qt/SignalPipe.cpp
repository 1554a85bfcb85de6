#include "toolkit/qt/SignalPipe.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace toolkit::qt {

namespace {

int g_pipe[2] = { -1, -1 };

// Async-signal-safe: one write, errno kept. A full pipe already holds a
// pending wake-up, so a lost byte loses nothing.
void OnSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    if (write(g_pipe[1], &byte, 1) < 0) { }
    errno = savedErrno;
}

}

SignalPipe::SignalPipe(std::function<void()> onSignal)
    : m_onSignal(std::move(onSignal))
{
    if (pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { Drain(); });

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &m_previousInterrupt);
    sigaction(SIGTERM, &action, &m_previousTerminate);
}

SignalPipe::~SignalPipe()
{
    if (!m_notifier)
        return;
    sigaction(SIGINT, &m_previousInterrupt, nullptr);
    sigaction(SIGTERM, &m_previousTerminate, nullptr);
    m_notifier.reset();
    close(g_pipe[0]);
    close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void SignalPipe::Drain()
{
    char bytes[64];
    bool signalled = false;
    while (read(g_pipe[0], bytes, sizeof bytes) > 0)
        signalled = true;
    if (signalled)
        m_onSignal();
}

}
