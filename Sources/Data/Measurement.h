#pragma once

#include "Data/Storable.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>

class QDataStream;
class TrackList;

// One recording: who made it with which app and setup, when it started,
// where it lies in each sensor's flash, how far each sensor's part has been
// uploaded, and each sensor's track list. On the host it is stored as one
// record file; its track lists lie one file per sensor in a folder named
// after its id.
class Measurement : public Storable
{
    Q_OBJECT
public:
    // The parent is not used: measurements are owned by whoever lists them.
    Measurement(QObject* parent, quint64 id);
    explicit Measurement(quint64 id);

    quint64 getMeasurementID() const { return m_measurementId; }

    QString getUserName() const { return m_userName; }
    void setUserName(QString name) { m_userName = std::move(name); }
    QString getAppName() const { return m_appName; }
    void setAppName(QString name) { m_appName = std::move(name); }
    QString getSetupName() const { return m_setupName; }
    void setSetupName(QString name) { m_setupName = std::move(name); }

    QDateTime getStartTime() const { return m_startTime; }
    void setStartTime(QDateTime time);
    QString getStartTimeString() const;
    QString getStartTimeFileName() const;
    // The start time as milliseconds since the epoch, computed once per
    // change (local-time conversions are costly when a list is sorted);
    // the smallest value when there is no start time.
    qint64 startTimeOrderKey() const { return m_startTimeKey; }

    quint16 getSamplingRate() const { return m_samplingRate; }
    void setSamplingRate(quint16 rate) { m_samplingRate = rate; }

    // A measurement made by a live view rather than a recording. The mark is
    // a side file beside the track lists, so the record stays as it is; it
    // goes with the track-list folder when the measurement is erased.
    bool isLiveView() const { return m_liveView; }
    // Marks it as a live view on disk; false when the mark could not be
    // written (then it is not marked).
    bool markAsLiveView();
    static const char kLiveViewFileName[];

    // What the list shows as the size of a measurement: nothing yet.
    QString getSize() const { return QString(); }

    quint32 getStartAddress(quint64 serial) const { return m_startAddresses.value(serial, 0); }
    quint32 getStopAddress(quint64 serial) const { return m_stopAddresses.value(serial, 0); }
    quint32 getLastUploadAddress(quint64 serial) const { return m_lastUploadedAddresses.value(serial, 0); }
    bool hasLastUploadAddress(quint64 serial) const { return m_lastUploadedAddresses.contains(serial); }
    void setStartAddress(quint64 serial, quint32 address) { m_startAddresses.insert(serial, address); }
    void setStopAddress(quint64 serial, quint32 address) { m_stopAddresses.insert(serial, address); }
    void setLastUploadAddress(quint64 serial, quint32 address) { m_lastUploadedAddresses.insert(serial, address); }

    // The serials of the sensors that have a track list, ascending.
    QList<quint64> getDevicesInMeasurement() const { return m_deviceTrackMap.keys(); }
    // The sensor's track list, created empty when it has none; never null.
    TrackList* getTrackList(quint64 serial);

    // Reads the stored samples of the sensor's list if it is still only a
    // header, so that whatever is added to it, or saved of it, comes on top
    // of what is stored. False when the stored samples could not be read.
    bool loadStoredTrackList(quint64 serial);

    // A list that is still only a header is read in full first; one whose
    // stored samples cannot be read is not saved over them.
    bool saveSingleTrackList(quint64 serial);
    void saveAllTrackLists();
    // Saves the sensor's list and then this record. The record names as the
    // sensor's upload progress only pages whose samples are on disk: when
    // the list could not be saved, the progress goes back to what was saved
    // with the list last. False when either could not be written.
    bool saveUploadState(quint64 serial);

    bool uploadFromDeviceComplete(quint64 serial);

    // Writes every track of every sensor as CSV files and one MAT file per
    // sensor into the export folder named after this measurement's file.
    // Stored samples are read first; when some cannot be read, the folder
    // (and an earlier export in it) is left alone and false returned; false
    // too when a file could not be written.
    bool Export();
    // Where Export() writes.
    QString exportFolder();

    void debugOut();

    // Removes the track-list folder, then the record file.
    bool eraseFromDisk() override;

    QString storagePath() override;
    QString entityName() override;
    QString fileEnding() override;
    QString generateFileName() override;
    bool tryLoadFromStream(QDataStream& stream) override;
    void saveToStream(QDataStream& stream) override;

    // The folder that holds this measurement's track-list files.
    QString trackListFolder() const;
    static QString trackListFolder(quint64 id);
    // Whether something of a measurement with this id is on disk: its
    // track-list folder (with whatever lies beside the lists) or its record.
    // A new measurement under such an id would write into another's files.
    static bool isIdStored(quint64 id);

    // Reads the record fields into this object (nothing else).
    void readRecord(QDataStream& stream);

    friend QDataStream& operator<<(QDataStream& stream, const Measurement& measurement);
    friend QDataStream& operator>>(QDataStream& stream, Measurement& measurement);

public Q_SLOTS:
    void scanForMeasurementDataOnDisk();
    // Reads the data of every track list that is still only a header (its
    // load mode stays LoadHeader when its file cannot be read); lists that
    // are already in memory are left as they are.
    void loadMeasurementDataFromDisk();
    void setDeviceTrackList(TrackList* tracklist);

Q_SIGNALS:
    void loadedMeasurementFromDisk(Measurement* loadedMeasurement);

private:
    quint64 m_measurementId = 0;
    QMap<quint64, quint32> m_startAddresses;
    QMap<quint64, quint32> m_stopAddresses;
    QMap<quint64, quint32> m_lastUploadedAddresses;
    // The progress as it was when the sensor's list was last written (or
    // read): the most a record may claim.
    QMap<quint64, quint32> m_savedUploadAddresses;
    QString m_userName;
    QString m_appName;
    QString m_setupName;
    QDateTime m_startTime;
    qint64 m_startTimeKey;
    quint16 m_samplingRate = 0;
    bool m_liveView = false;
    QMap<quint64, TrackList*> m_deviceTrackMap;
};

QDataStream& operator<<(QDataStream& stream, const Measurement& measurement);
// Reads the record and then scans for the headers of the measurement's track
// lists, as a measurement read from disk arrives with them.
QDataStream& operator>>(QDataStream& stream, Measurement& measurement);
