#include "RequestReader.h"

#include "Wire.h"

namespace sensorsim {

RequestReader::RequestReader(LengthLookup lengths)
    : m_lengths(std::move(lengths))
{
}

void RequestReader::feed(const QByteArray& bytes)
{
    m_buffer.append(bytes);
}

bool RequestReader::next(Request& request, bool flush)
{
    const QByteArray& start = Wire::frameStart();
    const QByteArray& end = Wire::frameEnd();
    for (;;) {
        const int s = m_buffer.indexOf(start);
        if (s < 0) {
            // Keep a tail that may be the beginning of a start token.
            if (m_buffer.size() > start.size() - 1)
                m_buffer.remove(0, m_buffer.size() - (start.size() - 1));
            return false;
        }
        if (s > 0)
            m_buffer.remove(0, s);

        const int tokenStart = start.size() + 1; // behind the number byte
        if (m_buffer.size() <= tokenStart)
            return false;
        if (m_buffer.at(tokenStart) != '<') {
            m_buffer.remove(0, 1); // not a frame after all: look for the next start
            continue;
        }
        const int searchLimit = qMin(m_buffer.size(), tokenStart + kMaxTokenLength);
        int close = -1;
        bool printable = true;
        for (int i = tokenStart + 1; i < searchLimit; ++i) {
            const char c = m_buffer.at(i);
            if (c == '>') {
                close = i;
                break;
            }
            if (c < 0x21 || c > 0x7E) {
                printable = false;
                break;
            }
        }
        if (!printable || (close < 0 && searchLimit == tokenStart + kMaxTokenLength)) {
            m_buffer.remove(0, 1);
            continue;
        }
        if (close < 0)
            return false; // token not complete yet

        const QByteArray token = m_buffer.mid(tokenStart, close - tokenStart + 1);
        const int payloadStart = close + 1;

        // Known lengths first: the end token must sit right behind the payload.
        bool waiting = false;
        const QVector<int> lengths = m_lengths ? m_lengths(token) : QVector<int>();
        for (int length : lengths) {
            const int endAt = payloadStart + length;
            if (m_buffer.size() < endAt + end.size()) {
                waiting = true;
                continue;
            }
            if (m_buffer.mid(endAt, end.size()) == end) {
                request.number = quint8(m_buffer.at(start.size()));
                request.token = token;
                request.payload = m_buffer.mid(payloadStart, length);
                m_buffer.remove(0, endAt + end.size());
                return true;
            }
        }

        // Payload bytes may look like an end token or a frame start, so while
        // a known length is still arriving nothing else is decided.
        if (waiting && !flush)
            return false;

        // Otherwise the frame reaches to the first end token, unless another
        // frame starts before it: then this one was cut off and is dropped.
        const int endAt = m_buffer.indexOf(end, payloadStart);
        const int nextStart = m_buffer.indexOf(start, payloadStart);
        if (endAt >= 0 && (nextStart < 0 || endAt < nextStart)) {
            request.number = quint8(m_buffer.at(start.size()));
            request.token = token;
            request.payload = m_buffer.mid(payloadStart, endAt - payloadStart);
            m_buffer.remove(0, endAt + end.size());
            return true;
        }
        if (nextStart >= 0) {
            m_buffer.remove(0, nextStart);
            continue;
        }
        if (m_buffer.size() < kMaxFrameLength)
            return false;
        m_buffer.remove(0, 1);
    }
}

} // namespace sensorsim
