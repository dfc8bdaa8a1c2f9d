#include "PseudoTerminal.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

PseudoTerminal::PseudoTerminal()
{
    const int fd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return;
    char name[128] = {};
    if (grantpt(fd) != 0 || unlockpt(fd) != 0 || ptsname_r(fd, name, sizeof name) != 0) {
        ::close(fd);
        return;
    }
    m_fd = fd;
    m_slavePath = QString::fromLocal8Bit(name);
}

PseudoTerminal::~PseudoTerminal()
{
    close();
}

bool PseudoTerminal::write(const QByteArray& bytes)
{
    if (m_fd < 0)
        return false;
    qint64 done = 0;
    QElapsedTimer timer;
    timer.start();
    while (done < bytes.size() && timer.elapsed() < 2000) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else {
            QCoreApplication::processEvents();
        }
    }
    return done == bytes.size();
}

QByteArray PseudoTerminal::read(int count, int timeoutMs)
{
    QByteArray result;
    if (m_fd < 0)
        return result;
    QElapsedTimer timer;
    timer.start();
    while (result.size() < count && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents();
        pollfd pfd{m_fd, POLLIN, 0};
        if (::poll(&pfd, 1, 5) <= 0 || !(pfd.revents & POLLIN))
            continue;
        char chunk[4096];
        const ssize_t n = ::read(m_fd, chunk, qMin<size_t>(sizeof chunk, size_t(count - result.size())));
        if (n > 0)
            result.append(chunk, int(n));
    }
    return result;
}

void PseudoTerminal::close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}
