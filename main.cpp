#include "Application/Helper.h"
#include "Application/Korvex.h"
#include "Application/StartOptions.h"
#include "Application/UnixSignalWatcher.h"
#include "Log/DestinationFactory.h"
#include "Log/Logger.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    // Without TZ the C library reads the zone file again for every local
    // time it works out, and loading a thousand stored measurements works
    // out tens of thousands; with TZ naming the same file it reads it once.
    if (qEnvironmentVariableIsEmpty("TZ"))
        qputenv("TZ", ":/etc/localtime");

    // A mistyped option ends the program before it opens a port or a file,
    // and both that and --help are answered before the application object
    // exists: it wants a display, which a terminal need not have.
    StartOptions options;
    if (!options.parse(StartOptions::programArguments(argc, argv))) {
        std::fprintf(stderr, "korvex: %s\n\n%s", qPrintable(options.errorText()), qPrintable(options.helpText()));
        return 2;
    }
    if (options.helpRequested()) {
        std::fputs(qPrintable(options.helpText()), stdout);
        return 0;
    }

    QApplication app(argc, argv);

    QsLogging::Logger& logger = QsLogging::Logger::instance();
    logger.setLoggingLevel(QsLogging::TraceLevel);
    QsLogging::DestinationPtr debugDestination = QsLogging::DestinationFactory::MakeDebugOutputDestination();
    logger.addDestination(debugDestination.get());

    // SIGINT and SIGTERM quit the event loop, so the root and the logs close normally.
    UnixSignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &UnixSignalWatcher::terminationRequested, &app, &QCoreApplication::quit);

    auto* root = new Korvex();
    root->applyStartOptions(options);

    QLOG_INFO() << "Korvex started. Revision: " << Helper::revisionHostSoftware()
                << " build date: " << Helper::buildDateHostSoftware();

    app.exec();

    delete root;
    // What the scene released with deleteLater while it was taken down (the
    // textures of the images it drew) is freed here; the event loop that
    // would have done it has ended.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    debugDestination.reset();
    return 0;
}
