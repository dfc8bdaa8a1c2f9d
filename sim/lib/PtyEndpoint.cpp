#include "PtyEndpoint.h"

#include "SimulatedSensor.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace sensorsim {

PtyEndpoint::PtyEndpoint(SimulatedSensor* sensor)
    : m_sensor(sensor)
{
}

PtyEndpoint::~PtyEndpoint()
{
    close();
}

bool PtyEndpoint::open(QString* error)
{
    close();
    auto fail = [&](const char* what) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
        close();
        return false;
    };
    m_fd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_fd < 0)
        return fail("posix_openpt");
    if (grantpt(m_fd) != 0)
        return fail("grantpt");
    if (unlockpt(m_fd) != 0)
        return fail("unlockpt");
    const char* name = ptsname(m_fd);
    if (!name)
        return fail("ptsname");
    m_path = QString::fromLocal8Bit(name);

    // Raw mode on the terminal side: no echo, no line editing, no CR/LF
    // translation, all 8 bits. The setting stays with the terminal while we
    // hold its other side, whoever opens it later.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0)
        return fail("open terminal");
    termios settings{};
    if (tcgetattr(slave, &settings) != 0) {
        ::close(slave);
        return fail("tcgetattr");
    }
    cfmakeraw(&settings);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (tcsetattr(slave, TCSANOW, &settings) != 0) {
        ::close(slave);
        return fail("tcsetattr");
    }
    ::close(slave);

    const int flags = fcntl(m_fd, F_GETFL);
    if (flags < 0 || fcntl(m_fd, F_SETFL, flags | O_NONBLOCK) != 0)
        return fail("fcntl");
    m_hostConnected = false;
    return true;
}

void PtyEndpoint::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_hostConnected = false;
    m_closing = false;
    m_backlog.clear();
}

bool PtyEndpoint::takePathChanged()
{
    const bool changed = m_pathChanged;
    m_pathChanged = false;
    return changed;
}

void PtyEndpoint::hostGone()
{
    if (m_hostConnected) {
        m_hostConnected = false;
        m_sensor->hostDisconnected();
    }
    m_backlog.clear();
    m_sensor->pump(); // the sensor runs on; what it sends meets nobody and is thrown away
}

void PtyEndpoint::service()
{
    if (m_fd < 0)
        return;
    pollfd p{m_fd, POLLIN, 0};
    if (poll(&p, 1, 0) < 0)
        return;
    // With nobody on the terminal side the master reports a hang-up (and
    // reads fail with EIO) until the next open.
    if ((p.revents & (POLLHUP | POLLERR)) && !(p.revents & POLLIN)) {
        hostGone();
        return;
    }
    m_hostConnected = true;

    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n > 0) {
            m_sensor->receive(QByteArray(buffer, int(n)));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EIO) {
            hostGone();
            return;
        }
        break; // EAGAIN: nothing more for now
    }

    m_backlog += m_sensor->take();
    if (m_backlog.size() > kMaxBacklog) {
        m_dropped += m_backlog.size();
        m_backlog.clear();
    }
    while (!m_backlog.isEmpty()) {
        const ssize_t n = ::write(m_fd, m_backlog.constData(), size_t(m_backlog.size()));
        if (n > 0) {
            m_backlog.remove(0, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EIO) {
            hostGone();
            return;
        }
        break; // the host reads slower than the sensor sends
    }

    if (!m_sensor->isLinkOpen() && m_backlog.isEmpty()) {
        // The sensor dropped the link: the terminal disappears, a new one
        // takes its place. The host gets a moment to read the last bytes,
        // which closing our side would throw away.
        const auto now = std::chrono::steady_clock::now();
        if (!m_closing) {
            m_closing = true;
            m_closeAt = now + std::chrono::milliseconds(kCloseGraceMs);
        } else if (now >= m_closeAt && open()) {
            m_closing = false;
            m_sensor->reopenLink();
            m_pathChanged = true;
        }
    }
}

} // namespace sensorsim
