#pragma once

#include <QByteArray>
#include <QHash>

namespace sensorsim {

// Faults a link to the sensor can show. Each port of a sensor has its own;
// random ones draw from the sensor's seed, so a seed reproduces them.
struct SensorFaults
{
    int replyDelayMs = 0;            // every reply leaves this much later
    int replyJitterMs = 0;           // plus a random 0..jitter ms (replies keep their order)
    double dropProbability = 0.0;    // a reply is lost (the command still takes effect)
    double nokProbability = 0.0;     // a command is refused with "<NOK>" (and not carried out)
    QHash<QByteArray, int> dropTokens; // replies to these command tokens are lost: count left, -1 for ever
    QHash<QByteArray, int> nokTokens;  // these command tokens are refused: count left, -1 for ever
    double corruptProbability = 0.0; // per outgoing byte: replaced by another value
    double garbageProbability = 0.0; // per outgoing frame or packet: random bytes go out before it
    int garbageMaxBytes = 16;
    qint64 bytesPerSecond = 0;       // link rate; 0 is unlimited
    int closeAfterFrames = 0;        // the link closes after this many reply frames; 0 never
    // A run of page frames (the answer to one "<GetFlashPages>") breaks off
    // and the rest of it is never sent: after this many pages every time
    // (0 never), or with this probability after a random 1..count-1 pages.
    int pageRunCutAfter = 0;
    double pageRunCutProbability = 0.0;
};

} // namespace sensorsim
