#pragma once

#include <QJsonObject>
#include <QString>
#include <QVariantMap>
#include <QtGlobal>

class TrackList;

// How whole one sensor's part of a measurement is: the samples its channels
// should hold from its first to its last sample number (each channel at its
// own down-sampling step), the samples they do hold, the runs of sample
// numbers missing in between, and what the transfer went through to get
// them: sample groups dropped because their mask failed its check, and page
// requests asked again, not answered in time, or refused by the sensor.
class DataQuality
{
public:
    enum Level { Unknown, Good, Fair, Poor };

    quint64 serial = 0;
    qint64 expected = 0;
    qint64 stored = 0;
    // Runs of missing samples in the sensor's densest channel (a lost sample
    // group is missing in every channel at once), and the longest, in
    // samples of that channel.
    qint64 gaps = 0;
    qint64 longestGap = 0;
    // The longest gap's length in base-frequency sample numbers.
    qint64 longestGapNumbers = 0;
    qint64 maskFailures = 0;
    qint64 retried = 0;
    qint64 timedOut = 0;
    qint64 refused = 0;

    // The sample figures of the list as it is now (the transfer counts are 0).
    static DataQuality measure(const TrackList* list);

    qint64 missing() const { return expected > stored ? expected - stored : 0; }
    // Good: every expected sample is there. Fair: at most one in a hundred
    // missing. Poor: more. Unknown: nothing expected (no samples at all).
    Level level() const;
    static QString levelName(Level level);
    // The figures for a person, one line each; times at `baseFrequency`.
    QString describe(int baseFrequency) const;

    QJsonObject toJson() const;
    static DataQuality fromJson(quint64 serial, const QJsonObject& object);
    QVariantMap toVariantMap(int baseFrequency) const;
};
