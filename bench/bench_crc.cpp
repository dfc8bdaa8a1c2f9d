// Throughput of the CRC that guards stream headers, sample groups and the
// allocation table.
#include "Application/Helper.h"

#include <QByteArray>

#include <benchmark/benchmark.h>

static void BM_Crc16(benchmark::State& state)
{
    const int length = int(state.range(0));
    QByteArray data(length, '\0');
    for (int i = 0; i < length; ++i)
        data[i] = char((i * 131 + 7) & 0xFF);
    for (auto _ : state) {
        quint16 crc = Helper::CRC16(data.constData(), 0, quint16(length));
        benchmark::DoNotOptimize(crc);
    }
    state.SetBytesProcessed(qint64(state.iterations()) * length);
}
// 2 bytes: one sample-group mask; 18: a stream header; 2048: a flash page.
BENCHMARK(BM_Crc16)->Arg(2)->Arg(18)->Arg(2048)->Arg(65535);

BENCHMARK_MAIN();
