#pragma once

// The content of tests/data/fixtures/tracklist-main.ktt: a track list filled
// through the public operations only, so that the same code run against an
// older store wrote the fixture. Every kind of channel is in it: 16- and
// 32-bit raw channels, a down-sampled one with lost packets, late and
// repeated numbers, a post-processed channel, a processor output without
// a width, and fusion quaternions. The models are what every track must
// hold afterwards, number to value.
//
// The fixture was written by a suite that built this list and saved it with
// saveToStream(), compiled against the store that kept a sample number and
// a double per sample (commit e35cf17). It is not written again: it is the
// record of that store.

#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Data/TrackSettings.h"

#include <QList>
#include <QMap>

#include <map>
#include <memory>
#include <random>

struct TrackListFixture {
    std::map<quint16, std::map<quint32, double>> scalars;
    std::map<quint16, std::map<quint32, QList<double>>> vectors;

    static constexpr quint64 kSerial = 0x1a2b3c4dULL;
    static constexpr quint64 kMeasurement = 0x5f00dULL;

    std::unique_ptr<TrackList> build()
    {
        auto list = std::make_unique<TrackList>(nullptr, kSerial, kMeasurement);
        list->AddTrack(0x0112, 0, 2, 1);
        list->AddTrack(0x0110, 0, 2, 1);
        list->AddTrack(0x0120, 10, 2, 2);
        list->AddTrack(0x0210, 100, 4, 3);
        list->AddTrack(0x8004, 250, 2, 4);
        list->AddTrack(0x0141, 0, 16, 5);
        auto* settings = new TrackSettings(0x8019);
        settings->label = QStringLiteral("GCT mean");
        settings->unit = QStringLiteral("ms");
        Track* mean = new Track(settings);
        delete settings;
        list->AddTrack(mean);

        std::mt19937 random(20140409);
        std::uniform_real_distribution<double> chance(0, 1);
        std::uniform_int_distribution<int> raw16(-32768, 32767);
        std::uniform_int_distribution<qint32> raw32(-100000, 100000000);
        auto store = [this, &list](quint16 id, quint32 number, double value) {
            Track* track = list->getTrackById(id);
            track->setCurrentSampleNumber(number);
            track->AddScalarSample(value);
            scalars[id][number] = value;
        };
        for (quint32 n = 7000; n < 9000; ++n) {
            if (chance(random) < 0.01)
                continue; // a lost packet
            const quint32 number = chance(random) < 0.02 ? n - 30 : n; // a late one
            store(0x0110, number, double(raw16(random)) * 0.00048828125);
            store(0x0112, number, double(raw16(random)) * 0.00048828125);
            if (n % 10 == 0)
                store(0x0120, n, double(raw16(random)) * 0.06097560975609757);
            if (n % 100 == 0)
                store(0x0210, n, double(raw32(random)) * 1.0);
            if (n % 250 == 0) {
                // Stored as the jump height it gives, not as the raw time.
                Track* jump = list->getTrackById(0x8004);
                jump->setCurrentSampleNumber(n);
                const double height = jump->postProcessScalarValue(double(raw16(random) & 0x3ff));
                jump->AddScalarSample(height);
                scalars[0x8004][n] = height;
            }
            if (n % 37 == 0)
                store(0x8019, n, 150.0 + chance(random) * 40.0);
            if (n % 5 == 0) {
                Track* fusion = list->getTrackById(0x0141);
                fusion->setCurrentSampleNumber(number);
                QList<double> q;
                for (int c = 0; c < 4; ++c)
                    q.append(double(raw32(random)));
                fusion->AddVectorSample(q);
                vectors[0x0141][number] = q;
            }
        }
        // Repeated numbers: the second value replaces the first.
        store(0x0110, 7100, 0.5);
        store(0x0110, 7100, -0.25);
        store(0x0112, 8999, 1.0);
        return list;
    }
};
