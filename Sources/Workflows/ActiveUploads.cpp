#include "Workflows/ActiveUploads.h"

#include "Protocol/FlashAddress.h"

#include <QtGlobal>

ActiveUploads::Upload* ActiveUploads::find(quint64 serial, quint64 measurementId)
{
    const auto it = m_uploads.find(serial);
    if (it == m_uploads.end() || it->measurementId != measurementId)
        return nullptr;
    return &it.value();
}

const ActiveUploads::Upload* ActiveUploads::find(quint64 serial) const
{
    const auto it = m_uploads.constFind(serial);
    return it == m_uploads.constEnd() ? nullptr : &it.value();
}

quint64 ActiveUploads::measurementOf(quint64 serial) const
{
    const Upload* upload = find(serial);
    return upload == nullptr ? 0 : upload->measurementId;
}

bool ActiveUploads::isUploading(quint64 measurementId) const
{
    for (const Upload& upload : m_uploads) {
        if (upload.measurementId == measurementId)
            return true;
    }
    return false;
}

double ActiveUploads::fraction(const Upload& upload)
{
    if (upload.openEnded)
        return -1.0;
    // A recording without data pages has nothing to wait for.
    if (upload.stopPage < upload.firstPage)
        return upload.nextPage > upload.stopPage ? 1.0 : 0.0;
    const double total = double(upload.stopPage - upload.firstPage + 1);
    const double stored = double(qMax(upload.nextPage, upload.firstPage) - upload.firstPage);
    return qBound(0.0, stored / total, 1.0);
}

qint64 ActiveUploads::pagesLeft() const
{
    qint64 pages = 0;
    for (const Upload& upload : m_uploads) {
        if (!upload.openEnded && upload.stopPage >= upload.nextPage)
            pages += upload.stopPage - upload.nextPage + 1;
    }
    return pages;
}

const ActiveUploads::Upload* ActiveUploads::pageStored(quint64 serial, quint64 measurementId, quint32 address)
{
    Upload* upload = find(serial, measurementId);
    if (upload != nullptr) {
        ++upload->pagesStored;
        upload->nextPage = FlashAddress(address).pageIndex() + 1;
    }
    return upload;
}

const ActiveUploads::Upload* ActiveUploads::pageEmpty(quint64 serial, quint64 measurementId, quint32 address)
{
    Upload* upload = find(serial, measurementId);
    if (upload != nullptr) {
        upload->emptyPageFound = true;
        upload->emptyPage = address;
    }
    return upload;
}

const ActiveUploads::Upload* ActiveUploads::rewound(quint64 serial, quint64 measurementId, quint32 address)
{
    Upload* upload = find(serial, measurementId);
    if (upload != nullptr)
        upload->nextPage = FlashAddress(address).pageIndex();
    return upload;
}
