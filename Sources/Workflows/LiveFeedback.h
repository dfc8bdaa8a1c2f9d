#pragma once

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QVariantList>

class MeasurementController;
class TrackList;

// What a coach reads off the live view while the athlete runs: the contact
// time of each foot's last step, and the height of each sensor's last jump,
// changed as each sample of the stream is stored. A step is a new step time
// (0x8016) with the contact time (0x8014) of its sample; a jump is a height
// (0x8004) above 0 that differs from the one before, as the stored results
// count them. Only the tracks named switch on their live values.
class LiveFeedback : public QObject
{
    Q_OBJECT
    // Per sensor with contact times, ascending serial: "serial", "foot"
    // ("left" for the lower serial, "right" for the next, "" for more),
    // "contactMs" (0 before the first contact) and "steps".
    Q_PROPERTY(QVariantList feet READ feet NOTIFY changed)
    // Per sensor with jump heights, ascending serial: "serial", "heightCm"
    // (0 before the first jump) and "jumps".
    Q_PROPERTY(QVariantList jumps READ jumps NOTIFY changed)
public:
    LiveFeedback(QObject* parent, MeasurementController* measurementController);

    // A new stream: what the last one showed goes, the tracks of this
    // measurement are followed.
    void follow(quint64 measurementId);

    QVariantList feet() const;
    QVariantList jumps() const;

Q_SIGNALS:
    void changed();

private Q_SLOTS:
    void onDeviceTrackListChanged(quint64 deviceSerial, quint64 measurementId, TrackList* list);

private:
    void onValue(quint64 serial, quint32 trackId, double value);

    struct Foot {
        double contactMs = 0;
        double stepTime = 0;
        bool timed = false;
        int steps = 0;
    };
    struct Jumper {
        double heightCm = 0;
        int jumps = 0;
    };

    QPointer<MeasurementController> m_measurements;
    quint64 m_measurementId = 0;
    QMap<quint64, QPointer<TrackList>> m_lists;
    QMap<quint64, Foot> m_feet;
    QMap<quint64, Jumper> m_jumpers;
};
