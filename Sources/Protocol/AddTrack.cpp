#include "Protocol/AddTrack.h"

#include "Log/LogCategories.h"

#include <QDebug>

AddTrack::AddTrack(quint64 deviceSerial, Track::TrackIDs trackId, quint16 downSampling, quint8 visible, quint8 configId)
    : Message(deviceSerial)
    , trackId(trackId)
    , downSampling(downSampling)
    , visible(visible)
    , configId(configId)
{
    qCDebug(lcProtocol) << "TrackID:" << int(trackId) << " DSF: " << downSampling << " visible: " << unsigned(visible)
                        << " configID " << unsigned(configId);
}

void AddTrack::BeforeComposeHook()
{
    command = QByteArrayLiteral("<AddTrack>");
    payload = QByteArray(14, '\0');
    int position = 0;
    composeUInt64(deviceSerial, position);
    composeUInt16(quint16(trackId), position);
    composeUInt16(downSampling, position);
    composeUInt8(visible, position);
    composeUInt8(configId, position);
}
