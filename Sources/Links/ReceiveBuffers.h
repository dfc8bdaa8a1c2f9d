#pragma once

#include <QByteArray>
#include <QString>

#include <map>
#include <memory>

// The receive window of every open link: the last bytes that came in (at
// most kMaxBytes) and the number of bytes dropped from its front, so that
// window byte i has the absolute stream position offset + i.
//
// Positions never repeat: a link's first byte takes the next position after
// everything any link has received so far, so a link that comes back under
// an old name (a renumbered port, a reconnected socket) starts beyond every
// position handed out before, and a request or parser that still holds an
// old position can never take new bytes for old ones or skip them. That is
// what lets a link's buffer go as soon as the link does.
class ReceiveBuffers
{
public:
    static constexpr int kMaxBytes = 4096;

    // The link's buffer, created empty on first use.
    QByteArray* buffer(const QString& identifier);
    quint64 offset(const QString& identifier) const;
    // Where the link's window ends now.
    quint64 endPosition(const QString& identifier);

    // Appends what was read and drops the excess from the front.
    void append(const QString& identifier, const QByteArray& bytes);
    // Empties the window; the bytes count as dropped, so positions go on.
    void empty(const QString& identifier);
    // The link has gone: its window and offset with it.
    void release(const QString& identifier);

    int count() const { return int(m_buffers.size()); }

private:
    struct Window
    {
        QByteArray bytes;
        quint64 offset = 0;
    };
    Window& window(const QString& identifier);

    std::map<QString, std::unique_ptr<Window>> m_buffers;
    // One past the last position handed out on any link.
    quint64 m_highWater = 0;
};
