#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QString>
#include <QThread>

#include <functional>

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

// Runs the event loop until `done` holds or `ms` have passed; false when
// the time ran out.
inline bool waitUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}
