#pragma once

#include <QByteArray>
#include <QString>

// The controlling end of a pseudo-terminal, opened by a test so that a serial
// link can be pointed at the other end (slavePath()). Closing it makes the
// other end vanish, as an unplugged adapter would.
class PseudoTerminal
{
public:
    PseudoTerminal();
    ~PseudoTerminal();

    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool isValid() const { return m_fd >= 0; }
    QString slavePath() const { return m_slavePath; }

    // Writes all bytes; false if the terminal refused some.
    bool write(const QByteArray& bytes);
    // Reads until `count` bytes have arrived or `timeoutMs` has passed,
    // running the event loop meanwhile so that the link can flush its writes.
    QByteArray read(int count, int timeoutMs = 2000);
    void close();

private:
    int m_fd = -1;
    QString m_slavePath;
};
