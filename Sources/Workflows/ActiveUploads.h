#pragma once

#include <QMap>
#include <QPointer>

class UploadDataPage;

// The upload each sensor is running: which measurement, which pages it
// covers and how far it got. Page numbers are positions in the flash
// (FlashAddress::pageIndex), so distances are plain differences.
class ActiveUploads
{
public:
    struct Upload
    {
        quint64 measurementId = 0;
        quint32 firstPage = 0;  // the first data page
        quint32 stopPage = 0;   // the stop page
        quint32 nextPage = 0;   // the first page not yet stored
        bool openEnded = false; // the sensor lists no stop address
        quint32 pagesStored = 0;
        // The page the reader gave up on for coming without samples.
        bool emptyPageFound = false;
        quint32 emptyPage = 0;
        QPointer<UploadDataPage> reader;
    };

    void begin(quint64 serial, const Upload& upload) { m_uploads.insert(serial, upload); }
    void end(quint64 serial) { m_uploads.remove(serial); }
    // The sensor's active upload if it is of that measurement.
    Upload* find(quint64 serial, quint64 measurementId);
    const Upload* find(quint64 serial) const;
    // What the reader of the sensor's upload of that measurement reports;
    // the upload, or null when it is not the one running.
    const Upload* pageStored(quint64 serial, quint64 measurementId, quint32 address);
    const Upload* pageEmpty(quint64 serial, quint64 measurementId, quint32 address);
    const Upload* rewound(quint64 serial, quint64 measurementId, quint32 address);
    // The measurement the sensor uploads, 0 for none.
    quint64 measurementOf(quint64 serial) const;
    // Whether any sensor uploads that measurement.
    bool isUploading(quint64 measurementId) const;

    // Pages stored of the pages of the recording, from 0 to 1; 1 only once
    // the stop page is in. -1 while that cannot be told (no stop address).
    static double fraction(const Upload& upload);
    // Pages still to come over every active upload with a stop address.
    qint64 pagesLeft() const;

private:
    QMap<quint64, Upload> m_uploads;
};
