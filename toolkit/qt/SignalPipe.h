// Turns SIGINT and SIGTERM into a callback on the event-loop thread, through
// a pipe that the signal handler writes one byte to.
#pragma once

#include <QSocketNotifier>

#include <csignal>
#include <functional>
#include <memory>

namespace toolkit::qt {

class SignalPipe {
public:
    // Only one may exist at a time: the handler is process-wide.
    explicit SignalPipe(std::function<void()> onSignal);
    ~SignalPipe();

    SignalPipe(const SignalPipe&) = delete;
    SignalPipe& operator=(const SignalPipe&) = delete;

private:
    void Drain();

    std::function<void()> m_onSignal;
    std::unique_ptr<QSocketNotifier> m_notifier;
    struct sigaction m_previousInterrupt {};
    struct sigaction m_previousTerminate {};
};

}
