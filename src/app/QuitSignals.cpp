#include "QuitSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zelvane {

namespace {

// [0] is written by the handler, [1] read on the main thread.
int g_pipe[2] = {-1, -1};

void handleSignal(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[0], &byte, 1);
    errno = savedErrno;
}

bool installHandler(int signalNumber)
{
    struct sigaction action = {};
    action.sa_handler = handleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(signalNumber, &action, nullptr) == 0;
}

}  // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent)
{
    if (g_pipe[0] < 0) {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0)
            return;
        // A burst of signals must never block the handler.
        ::fcntl(g_pipe[0], F_SETFL, ::fcntl(g_pipe[0], F_GETFL) | O_NONBLOCK);
        ::fcntl(g_pipe[1], F_SETFL, ::fcntl(g_pipe[1], F_GETFL) | O_NONBLOCK);
    }
    if (!installHandler(SIGTERM) || !installHandler(SIGINT))
        return;
    m_notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::readSignal);
    connect(this, &QuitSignals::quitRequested, this, [] { QCoreApplication::quit(); });
}

QuitSignals::~QuitSignals()
{
    if (m_notifier) {
        ::signal(SIGTERM, SIG_DFL);
        ::signal(SIGINT, SIG_DFL);
    }
}

void QuitSignals::readSignal()
{
    unsigned char byte = 0;
    int last = 0;
    while (::read(g_pipe[1], &byte, 1) == 1)
        last = byte;
    if (last != 0)
        emit quitRequested(last);
}

}  // namespace zelvane
