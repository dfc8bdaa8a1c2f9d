// Offline ground contact time series read from arbitrary bytes.
#include "FuzzSupport.h"

#include "Processing/CsvImportProcessor.h"

#include <QString>

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzSetUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    CsvImportProcessor::Series series;
    QString problem;
    const bool ok = CsvImportProcessor::parseSeries(bytes, series, problem);
    // Either a series or a reason, never both and never neither.
    if (ok == series.empty() || ok != problem.isEmpty())
        std::abort();
    // A sample takes at least "0,0" and a line feed, but for the last line.
    if (series.size() > std::size_t(bytes.size() + 1) / 4)
        std::abort();
    return 0;
}
