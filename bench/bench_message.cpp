// Cost of offering a full receive window to a waiting message: once when the
// reply is the newest frame (the common case) and once when the window holds
// only other messages' frames (every frame is examined).
#include "BenchMain.h"

#include "Protocol/GetFirmware.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <benchmark/benchmark.h>

namespace {

QByteArray frame(quint8 number, const QByteArray& token, const QByteArray& data)
{
    QByteArray bytes("<msg>");
    bytes.append(char(number));
    bytes.append(token);
    bytes.append(data);
    bytes.append("</msg>\r\n", 8);
    return bytes;
}

// 4096 bytes of older traffic (acknowledgements of other numbers and binary
// noise), ending with `last`.
QByteArray fullWindow(const QByteArray& last)
{
    QByteArray filler;
    quint8 other = 0x80;
    while (filler.size() < 4096) {
        filler.append(frame(other++, "<OK>", QByteArray()));
        filler.append(QByteArray(23, char(0xA5)));
    }
    return filler.right(4096 - last.size()) + last;
}

} // namespace

static void BM_TryToParse_ReplyIsNewest(benchmark::State& state)
{
    GetFirmware query(0x1234);
    Message::messageNumberGlobal = 0x35;
    query.Compose();
    const QByteArray window = fullWindow(frame(0x35, "<SndFirmware>", QByteArray("\x00\x2A", 2)));
    for (auto _ : state) {
        bool accepted = query.tryToParse(window, 0);
        benchmark::DoNotOptimize(accepted);
    }
    state.SetLabel("window 4096 bytes");
}
BENCHMARK(BM_TryToParse_ReplyIsNewest);

static void BM_TryToParse_NoReplyInWindow(benchmark::State& state)
{
    GetFirmware query(0x1234);
    Message::messageNumberGlobal = 0x35;
    query.Compose();
    const QByteArray window = fullWindow(frame(0x36, "<OK>", QByteArray()));
    for (auto _ : state) {
        bool accepted = query.tryToParse(window, 0);
        benchmark::DoNotOptimize(accepted);
    }
    state.SetLabel("window 4096 bytes");
}
BENCHMARK(BM_TryToParse_NoReplyInWindow);

int main(int argc, char** argv)
{
    return runQtBenchmarks(argc, argv, "korvex.protocol.debug=false");
}
