#include "Application/UnixSignalWatcher.h"

#include "Log/LogCategories.h"

#include <QDebug>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

int UnixSignalWatcher::s_pipe[2] = { -1, -1 };
volatile sig_atomic_t UnixSignalWatcher::s_received = 0;

UnixSignalWatcher::UnixSignalWatcher(QObject* parent)
    : QObject(parent)
{
    // Self-pipe: the handler only writes one byte; the event loop does the rest.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, s_pipe) != 0) {
        qCWarning(lcApp) << "Could not create the signal pipe; SIGINT and SIGTERM end the program abruptly.";
        return;
    }
    ::fcntl(s_pipe[0], F_SETFL, O_NONBLOCK);
    ::fcntl(s_pipe[1], F_SETFL, O_NONBLOCK);

    s_received = 0;
    m_notifier = new QSocketNotifier(s_pipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UnixSignalWatcher::readSignal);

    struct sigaction action {};
    action.sa_handler = &UnixSignalWatcher::handleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

UnixSignalWatcher::~UnixSignalWatcher()
{
    if (m_notifier == nullptr)
        return;
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    ::close(s_pipe[0]);
    ::close(s_pipe[1]);
    s_pipe[0] = s_pipe[1] = -1;
}

void UnixSignalWatcher::handleSignal(int signalNumber)
{
    // The first signal asks for a clean end. A second one means the user is
    // done waiting for it (a hung port, a slow save): end now, the way the
    // signal would have without us, so the caller sees which signal it was.
    if (s_received != 0) {
        ::signal(signalNumber, SIG_DFL);
        ::raise(signalNumber);
        return;
    }
    s_received = 1;
    const int savedErrno = errno;
    const char byte = static_cast<char>(signalNumber);
    if (s_pipe[0] >= 0) {
        const ssize_t written = ::write(s_pipe[0], &byte, 1);
        (void)written;
    }
    errno = savedErrno;
}

void UnixSignalWatcher::readSignal()
{
    char byte = 0;
    while (::read(s_pipe[1], &byte, 1) == 1)
        Q_EMIT terminationRequested(static_cast<unsigned char>(byte));
}
