#include "SignalWatcher.h"

#include "Wait.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrel {
namespace {

int signalPipe[2] = {-1, -1};

extern "C" void onSignal(int number)
{
    // Waits of this module give up at once; the byte wakes the event loop,
    // whose side makes the request known to every module.
    noteInterruptionFromSignal();
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

} // namespace

SignalWatcher::SignalWatcher(QObject* parent) : QObject(parent) {}

SignalWatcher::~SignalWatcher()
{
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
}

bool SignalWatcher::install()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0)
        return false;
    m_notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalWatcher::onReadable);

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGTERM, &action, nullptr) == 0 && ::sigaction(SIGINT, &action, nullptr) == 0;
}

void SignalWatcher::onReadable()
{
    unsigned char byte = 0;
    if (::read(signalPipe[0], &byte, 1) == 1) {
        requestInterruption();
        Q_EMIT terminationRequested(byte);
    }
}

} // namespace kestrel
