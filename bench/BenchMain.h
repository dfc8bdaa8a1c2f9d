#pragma once

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QString>

#include <benchmark/benchmark.h>

// The main function of the benchmarks that need a Qt application object.
// `logRules`, when given, silences log categories so that a figure measures
// the work and not the writing of its debug lines.
inline int runQtBenchmarks(int argc, char** argv, const char* logRules = nullptr)
{
    QCoreApplication app(argc, argv);
    if (logRules != nullptr)
        QLoggingCategory::setFilterRules(QString::fromLatin1(logRules));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
