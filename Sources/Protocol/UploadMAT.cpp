#include "Protocol/UploadMAT.h"

#include "Log/LogCategories.h"

#include <QDebug>

UploadMAT::UploadMAT(quint64 deviceSerial, FlashAddress tableAddress)
    : Message(deviceSerial)
    , tableAddress(tableAddress)
{
}

void UploadMAT::BeforeComposeHook()
{
    command = QByteArrayLiteral("<GetFlashPage>");
    okToken = QByteArrayLiteral("<SndFlashPage>");
    // Without the closing bracket, so that any rejection form matches.
    nokToken = QByteArrayLiteral("<NOK");
    expectedLength = kPageSize;
    AddressToPayLoad(tableAddress);
}

bool UploadMAT::tryToParseResponseData(const QByteArray& window, int dataStart, int endIndex)
{
    return ParseMAT(window, dataStart, endIndex);
}

bool UploadMAT::ParseMAT(const QByteArray& window, int dataStart, int endIndex)
{
    if (dataStart < 0)
        dataStart = 0;
    if (endIndex > window.size())
        endIndex = window.size();
    quint64 position = quint64(dataStart);
    // Only whole entries inside the page count: the bytes after the page are
    // the frame's end token and whatever follows it, never part of the table.
    while (position + kEntrySize <= quint64(endIndex)) {
        const quint64 entryStart = position;
        const quint64 measurementId = parseUInt64(window, position, nullptr);
        const quint32 startAddress = parseUInt32(window, position, nullptr);
        const bool headValid = checkCRC(window, entryStart, 12);
        position += 2;
        const quint64 stopStart = position;
        const quint32 stopAddress = parseUInt32(window, position, nullptr);
        const bool stopValid = checkCRC(window, stopStart, 4);
        position += 2;

        // Erased flash carries no valid CRC: the table ends here.
        if (!headValid)
            break;
        if (stopValid)
            Q_EMIT foundCompleteMeasurement(deviceSerial, measurementId, startAddress, stopAddress);
        else
            Q_EMIT foundStartedMeasurement(deviceSerial, measurementId, startAddress);
    }
    Q_EMIT parsingOfMATcomplete(deviceSerial);
    return true;
}

void UploadMAT::disposalHook()
{
    // Kept and reused by its owner for the next table read: no abort report
    // and no deletion. Its timer stops, though, since nobody resends it.
    timeoutTimer.stop();
}
