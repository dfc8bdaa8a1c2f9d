#pragma once

#include "Data/Storable.h"

#include <QList>
#include <QMap>

class Track;

// All tracks of one device within one measurement, in the order in which
// the device announced them: a track's index in that order is the bit of a
// packet's channel mask that carries it. Owns its tracks. Saved one file
// per device under its measurement's folder.
class TrackList : public Storable
{
    Q_OBJECT
public:
    TrackList(QObject* parent, quint64 deviceSerial, quint64 measurementId);
    ~TrackList() override;

    Track* getTrackById(quint64 id);
    quint16 getTrackIdByIndex(quint8 index);
    Track* getTrackByIndex(quint8 index);
    // The tracks ascending by id.
    QList<Track*> getAllTracks() const;
    int numberOfTracks() const { return m_tracks.size(); }
    // Samples over all tracks, scalar and vector.
    qint64 numberOfSamples() const;
    int getNumberOfTracks() const { return m_tracks.size(); }
    // The ids in index order.
    QList<quint16> getTrackOrder() const { return m_trackOrder; }

    QList<double>* GetScalarSamples(quint16 trackID);
    QList<QList<double>> GetVectorSamples(quint16 trackID);

    quint64 getDeviceSerial() const { return m_deviceSerial; }
    quint64 getMeasurementId() const { return m_measurementId; }

    void emitComplete();
    // Gives back what the tracks keep for further samples, once no more
    // are expected.
    void squeezeSamples();
    void debugOut();

    QString storagePath() override;
    QString entityName() override;
    QString fileEnding() override;
    QString generateFileName() override;
    bool tryLoadFromStream(QDataStream& stream) override;
    void saveToStream(QDataStream& stream) override;

    // Reads a track-list record into this (empty) list, as far as its load
    // mode asks.
    void readRecord(QDataStream& stream);

    friend QDataStream& operator<<(QDataStream& stream, const TrackList& list);

public Q_SLOTS:
    void AddTrack(Track* trackToAdd);
    void AddTrack(quint16 trackID, quint16 downSampling, quint8 trackWidth, quint8 configIndex);
    void AddScalarSample(quint16 trackID, double value);

    // Export below Helper::geExportPath() + "/" + the measurement's folder
    // name: the CSV files go to "<serial>/<label>.csv", the MAT file is
    // "<serial>.mat". A measurement clears its folder once, then exports
    // each of its lists to CSV and to MAT.
    static void ClearExportDirectory(QString UploadedMeasurementName);
    // Both say whether every file was written.
    bool ExportToCSV(QString UploadedMeasurementName);
    bool ExportToMAT(QString UploadedMeasurementName);

Q_SIGNALS:
    void complete(TrackList* list);
    void newLiveValue(quint32 TrackID, double value);
    void loadedTrackListFromDisk(TrackList* tracklist);

private:
    QMap<quint16, Track*> m_tracks;
    QList<quint16> m_trackOrder;
    quint64 m_deviceSerial;
    quint64 m_measurementId;
};

QDataStream& operator<<(QDataStream& stream, const TrackList& list);
// Reads a whole record into a new list without parent; null when the record
// could not be read.
QDataStream& operator>>(QDataStream& stream, TrackList*& list);
