#pragma once

#include "Data/StandardModel.h"

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
        StartTimeTextRole
    };

    explicit MeasurementsModel(QObject* parent = nullptr);

    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    Measurement* getMeasurement(int row) const;

    // Puts the newest measurement first and tells attached views that rows
    // moved. Items without a start time count as the oldest.
    void reorder();

    // True when both are measurements and b started before a.
    static bool orderMeasurementsOperator(Storable* a, Storable* b);
};
