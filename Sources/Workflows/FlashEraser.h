#pragma once

#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class DeleteFlashBlock;
class Message;

// Follows one erase of the recorded data of several sensors: how much of it
// the sensors have confirmed, and how it ends. It ends complete only when
// every block of every sensor has been confirmed erased; a sensor lost on
// the way, or an erase command that gives up, ends it as failed, and the
// other sensors' erases are called off, so that nothing goes on erasing
// behind a result.
class FlashEraser : public QObject
{
    Q_OBJECT
public:
    // Queues a message; false when its device could not take it (the
    // message is gone then).
    using Sink = std::function<bool(Message*)>;
    // Takes a message back out of the queues; it reports aborted.
    using Drop = std::function<void(Message*)>;

    FlashEraser(Sink sink, Drop drop, QObject* parent = nullptr);

    // Erases the blocks from `first` to `last` on each sensor; false when
    // one is running already or there is no sensor to erase.
    bool start(const QList<quint64>& serials, quint32 first, quint32 last);
    bool isErasing() const { return m_erasing; }
    // Why an erase cannot start now, for the user; empty when it can.
    QString refusal(bool recording, bool anySensor) const;
    // Confirmed blocks of all sensors over all their blocks; 1 only once
    // the erase is complete.
    double progress() const { return m_progress; }
    // The sensors of the erase that ended last (or runs).
    QList<quint64> sensors() const { return m_serials; }

    void sensorLost(quint64 serial);

Q_SIGNALS:
    void erasingChanged();
    void progressChanged();
    void complete(int sensors);
    void failed(QString deviceSerial, QString reason);

private:
    void blockErased();
    void sensorDone(quint64 serial);
    void fail(quint64 serial, const QString& reason);
    void setProgress(double progress);
    void end();

    Sink m_sink;
    Drop m_drop;
    bool m_erasing = false;
    double m_progress = 0.0;
    QList<quint64> m_serials;
    QMap<quint64, QPointer<DeleteFlashBlock>> m_messages;
    QMap<quint64, bool> m_done;
};
