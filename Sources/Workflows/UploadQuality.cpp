#include "Workflows/UploadQuality.h"

#include "Data/QualityFile.h"
#include "Protocol/UploadDataPage.h"

bool UploadQuality::record(Measurement* host, quint64 serial, const UploadDataPage* reader)
{
    if (host == nullptr)
        return false;
    DataQuality transfer;
    if (reader != nullptr) {
        transfer.maskFailures = reader->maskFailures();
        transfer.retried = reader->requestsRetried();
        transfer.timedOut = reader->requestsTimedOut();
        transfer.refused = reader->requestsRefused();
    }
    return QualityFile::update(host, serial, transfer);
}
