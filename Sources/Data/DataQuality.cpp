#include "Data/DataQuality.h"

#include "Data/Track.h"
#include "Data/TrackList.h"

#include <QLocale>

#include <algorithm>

namespace {

struct Channel
{
    qint64 size = 0;
    quint32 first = 0;
    quint32 last = 0;
    quint32 step = 1;
    const Track* track = nullptr;
};

Channel channelOf(const Track* track)
{
    Channel channel;
    channel.track = track;
    channel.step = qMax<quint32>(1, track->getDownSamplingFactor());
    if (track->getType() == Track::ScalarTrack) {
        const ScalarSampleStore& store = track->scalarSampleStore();
        channel.size = store.size();
        if (store.size() > 0) {
            channel.first = store.numberAt(0);
            channel.last = store.numberAt(store.size() - 1);
        }
    } else if (track->getType() == Track::VectorTrack) {
        const VectorSampleStore& store = track->vectorSampleStore();
        channel.size = store.size();
        if (store.size() > 0) {
            channel.first = store.numberAt(0);
            channel.last = store.numberAt(store.size() - 1);
        }
    }
    return channel;
}

quint32 numberAt(const Track* track, int index)
{
    return track->getType() == Track::ScalarTrack ? track->scalarSampleStore().numberAt(index)
                                                  : track->vectorSampleStore().numberAt(index);
}

// Numbers n in [from, to] that lie on the channel's grid (n = first + k * step).
qint64 gridCount(quint32 from, quint32 to, const Channel& channel)
{
    const qint64 step = channel.step;
    const qint64 phase = qint64(channel.first) % step;
    const qint64 start = qint64(from) + ((phase - qint64(from) % step) % step + step) % step;
    if (start > qint64(to))
        return 0;
    return (qint64(to) - start) / step + 1;
}

QString number(qint64 value)
{
    return QLocale().toString(value);
}

} // namespace

DataQuality DataQuality::measure(const TrackList* list)
{
    DataQuality quality;
    if (list == nullptr)
        return quality;
    quality.serial = list->getDeviceSerial();
    std::vector<Channel> channels;
    for (const Track* track : list->getAllTracks()) {
        if (track == nullptr)
            continue;
        Channel channel = channelOf(track);
        if (channel.size > 0)
            channels.push_back(channel);
    }
    if (channels.empty())
        return quality;
    quint32 first = channels.front().first;
    quint32 last = channels.front().last;
    const Channel* densest = &channels.front();
    for (const Channel& channel : channels) {
        first = qMin(first, channel.first);
        last = qMax(last, channel.last);
        if (channel.step < densest->step || (channel.step == densest->step && channel.size > densest->size))
            densest = &channel;
    }
    for (const Channel& channel : channels) {
        quality.stored += channel.size;
        quality.expected += gridCount(first, last, channel);
    }
    // A channel may hold numbers off its grid (a step changed in between):
    // what it holds is then what it should hold.
    quality.expected = qMax(quality.expected, quality.stored);

    const qint64 step = densest->step;
    // `times` neighbouring numbers `distance` apart.
    const auto countGaps = [&](qint64 distance, qint64 times) {
        if (distance <= step || times <= 0)
            return;
        quality.gaps += times;
        const qint64 lost = (distance + step - 1) / step - 1;
        if (lost > quality.longestGap) {
            quality.longestGap = lost;
            quality.longestGapNumbers = distance - step;
        }
    };
    if (densest->track->getType() == Track::ScalarTrack) {
        // The numbers are kept as runs of evenly spaced ones: the gaps lie
        // between the runs (or between the numbers of a run spaced wider
        // than the channel), and a live view asks for them every second.
        const auto& runs = densest->track->scalarSampleStore().numberRuns().runs();
        for (std::size_t r = 0; r < runs.size(); ++r) {
            if (runs[r].count > 1)
                countGaps(qint64(runs[r].step), qint64(runs[r].count) - 1);
            if (r > 0)
                countGaps(qint64(runs[r].first) - qint64(runs[r - 1].last()), 1);
        }
        return quality;
    }
    quint32 previous = numberAt(densest->track, 0);
    for (int i = 1; i < densest->size; ++i) {
        const quint32 current = numberAt(densest->track, i);
        countGaps(qint64(current) - qint64(previous), 1);
        previous = current;
    }
    return quality;
}

DataQuality::Level DataQuality::level() const
{
    if (expected <= 0)
        return Unknown;
    if (missing() == 0 && maskFailures == 0)
        return Good;
    return missing() * 100 <= expected ? Fair : Poor;
}

QString DataQuality::levelName(Level level)
{
    switch (level) {
    case Good:
        return QStringLiteral("good");
    case Fair:
        return QStringLiteral("fair");
    case Poor:
        return QStringLiteral("poor");
    case Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

QString DataQuality::describe(int baseFrequency) const
{
    QStringList lines;
    if (expected <= 0)
        return QObject::tr("No samples.");
    const double percent = 100.0 * double(stored) / double(expected);
    lines << QObject::tr("%1 of %2 samples (%3 %)")
                 .arg(number(stored), number(expected), QLocale().toString(percent, 'f', percent < 100 ? 2 : 0));
    if (gaps == 0) {
        lines << QObject::tr("No gaps");
    } else {
        const QString longest = baseFrequency > 0
            ? QObject::tr("%1 ms").arg(QLocale().toString(1000.0 * double(longestGapNumbers) / baseFrequency, 'f', 0))
            : QObject::tr("%1 samples").arg(number(longestGap));
        lines << (gaps == 1 ? QObject::tr("1 gap, %1 long").arg(longest)
                            : QObject::tr("%1 gaps, the longest %2").arg(number(gaps), longest));
    }
    if (maskFailures > 0)
        lines << QObject::tr("%1 sample groups failed their check").arg(number(maskFailures));
    if (retried > 0 || timedOut > 0 || refused > 0)
        lines << QObject::tr("Requests: %1 asked again, %2 timed out, %3 refused")
                     .arg(number(retried), number(timedOut), number(refused));
    return lines.join(QLatin1Char('\n'));
}

QJsonObject DataQuality::toJson() const
{
    return QJsonObject {
        { QStringLiteral("expected"), double(expected) },
        { QStringLiteral("stored"), double(stored) },
        { QStringLiteral("gaps"), double(gaps) },
        { QStringLiteral("longestGap"), double(longestGap) },
        { QStringLiteral("longestGapNumbers"), double(longestGapNumbers) },
        { QStringLiteral("maskFailures"), double(maskFailures) },
        { QStringLiteral("retried"), double(retried) },
        { QStringLiteral("timedOut"), double(timedOut) },
        { QStringLiteral("refused"), double(refused) },
    };
}

DataQuality DataQuality::fromJson(quint64 serial, const QJsonObject& object)
{
    const auto count = [&](const char* key) {
        return qMax<qint64>(0, qint64(object.value(QLatin1String(key)).toDouble()));
    };
    DataQuality quality;
    quality.serial = serial;
    quality.expected = count("expected");
    quality.stored = count("stored");
    quality.gaps = count("gaps");
    quality.longestGap = count("longestGap");
    quality.longestGapNumbers = count("longestGapNumbers");
    quality.maskFailures = count("maskFailures");
    quality.retried = count("retried");
    quality.timedOut = count("timedOut");
    quality.refused = count("refused");
    return quality;
}

QVariantMap DataQuality::toVariantMap(int baseFrequency) const
{
    QVariantMap map = toJson().toVariantMap();
    map.insert(QStringLiteral("serial"), QString::number(serial, 16));
    map.insert(QStringLiteral("level"), levelName(level()));
    map.insert(QStringLiteral("text"), describe(baseFrequency));
    return map;
}
