#pragma once

#include <QByteArray>
#include <QVector>
#include <QtGlobal>

#include <functional>

namespace sensorsim {

// One request frame as the sensor received it.
struct Request
{
    quint8 number = 0;
    QByteArray token;   // including the angle brackets, e.g. "<GetSerial>"
    QByteArray payload; // binary, possibly of an unexpected length
};

// Cuts the host's byte stream into request frames, whatever the chunking.
// A request has no length field, and its binary payload may hold any byte,
// so the reader uses the payload lengths it knows for a token and looks for
// the end token right behind them; only for unknown tokens, or when the
// expected length does not fit, does it search for the end token. Bytes
// outside frames and broken frames are skipped, and the reader resynchronises
// at the next frame start.
class RequestReader
{
public:
    // Payload lengths that a token may carry; an empty list means unknown.
    using LengthLookup = std::function<QVector<int>(const QByteArray& token)>;

    explicit RequestReader(LengthLookup lengths);

    void feed(const QByteArray& bytes);
    // Takes the next complete request out of the buffer; false if there is none yet.
    // A frame whose command has a known payload length is not judged before
    // that many bytes are there, unless flush says that no more are coming.
    bool next(Request& request, bool flush = false);
    void clear() { m_buffer.clear(); }
    int bufferedBytes() const { return m_buffer.size(); }

    // Longest token accepted, and how far the reader looks for the end of a
    // frame whose length it does not know before it gives up on it.
    static constexpr int kMaxTokenLength = 48;
    static constexpr int kMaxFrameLength = 4096;

private:
    LengthLookup m_lengths;
    QByteArray m_buffer;
};

} // namespace sensorsim
