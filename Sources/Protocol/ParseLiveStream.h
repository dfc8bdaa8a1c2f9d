#pragma once

#include "Protocol/ParseDataStream.h"

#include <QHash>

// Listens to a device's received data for the whole live stream and stores
// the samples of every packet (AA 55, length, sample groups, BB 66). Picks
// up after the last stored sample on each delivery, so bytes that stay in
// the window are parsed only once.
class ParseLiveStream : public ParseDataStream
{
    Q_OBJECT
public:
    ParseLiveStream(quint64 deviceSerial, quint64 measurementId);

    void BeforeComposeHook() override;
    bool tryToParse(const QByteArray& window, quint64 bufferOffset) override;
    // Each link streams bytes of its own: where parsing stopped is kept per
    // link, so that neither link's packets are skipped or read twice.
    bool offerWindow(const QString& link, const QByteArray& window, quint64 bufferOffset) override;

    void FindAndParsePackets(const QByteArray& window, quint64 start);

private:
    QHash<QString, quint64> m_positions;
};
