#pragma once

#include "Data/StandardModel.h"

#include <QHash>

#include <functional>

class Measurement;

// A list of measurements as the scene shows it: the host's stored
// measurements (newest first) or the measurements found on one sensor.
class MeasurementsModel : public StandardModel
{
    Q_OBJECT
public:
    enum Roles {
        MeasurementIDRole = Qt::UserRole + 1,
        SizeRole,
        UserNameRole,
        AppNameRole,
        SetupNameRole,
        StartTimeRole,
        IsLiveViewRole,
        // The start day, "yyyy-MM-dd".
        DayRole,
        // The start, "yyyy-MM-dd HH:mm", whatever the locale.
        StartTimeTextRole,
        // Sensor lists only: whether the host holds this sensor's data of
        // the recording, and how much of it.
        OnHostRole,
        UploadStateRole
    };

    // What a sensor's list knows of the host's copy of a recording.
    enum class UploadState { NotUploaded, PartlyUploaded, Uploaded };
    using HostLookup = std::function<Measurement*(quint64 measurementId)>;

    explicit MeasurementsModel(QObject* parent = nullptr);

    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    Measurement* getMeasurement(int row) const;

    // Makes this the list of the recordings on one sensor, whose host
    // copies are found through the lookup.
    void setDeviceSerial(quint64 serial, HostLookup hostLookup);
    quint64 deviceSerial() const { return m_deviceSerial; }
    UploadState uploadState(const Measurement* listed) const;
    static QString uploadStateText(UploadState state);
    // The host copy of the recording has changed (an upload went on, ended
    // or broke off): its row is refreshed when what it shows has changed.
    void refreshUploadState(quint64 measurementId);

    // Puts the newest measurement first and tells attached views that rows
    // moved. Items without a start time count as the oldest.
    void reorder();

    // True when both are measurements and b started before a.
    static bool orderMeasurementsOperator(Storable* a, Storable* b);

private:
    quint64 m_deviceSerial = 0;
    HostLookup m_hostLookup;
    mutable QHash<quint64, UploadState> m_shownStates;
};
