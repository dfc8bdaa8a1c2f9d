#include "Links/ReceiveBuffers.h"

ReceiveBuffers::Window& ReceiveBuffers::window(const QString& identifier)
{
    std::unique_ptr<Window>& entry = m_buffers[identifier];
    if (!entry) {
        entry = std::make_unique<Window>();
        entry->offset = m_highWater;
    }
    return *entry;
}

QByteArray* ReceiveBuffers::buffer(const QString& identifier)
{
    return &window(identifier).bytes;
}

quint64 ReceiveBuffers::offset(const QString& identifier) const
{
    const auto it = m_buffers.find(identifier);
    return it == m_buffers.end() ? m_highWater : it->second->offset;
}

quint64 ReceiveBuffers::endPosition(const QString& identifier)
{
    const Window& w = window(identifier);
    return w.offset + quint64(w.bytes.size());
}

void ReceiveBuffers::append(const QString& identifier, const QByteArray& bytes)
{
    Window& w = window(identifier);
    w.bytes.append(bytes);
    const int excess = w.bytes.size() - kMaxBytes;
    if (excess > 0) {
        w.bytes.remove(0, excess);
        w.offset += quint64(excess);
    }
    m_highWater = qMax(m_highWater, w.offset + quint64(w.bytes.size()));
}

void ReceiveBuffers::empty(const QString& identifier)
{
    Window& w = window(identifier);
    w.offset += quint64(w.bytes.size());
    w.bytes.clear();
}

void ReceiveBuffers::release(const QString& identifier)
{
    m_buffers.erase(identifier);
}
