#include "Application/Helper.h"
#include "Application/Korvex.h"
#include "Application/UnixSignalWatcher.h"
#include "Log/DestinationFactory.h"
#include "Log/Logger.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // Without TZ the C library reads the zone file again for every local
    // time it works out, and loading a thousand stored measurements works
    // out tens of thousands; with TZ naming the same file it reads it once.
    if (qEnvironmentVariableIsEmpty("TZ"))
        qputenv("TZ", ":/etc/localtime");
    QApplication app(argc, argv);

    QsLogging::Logger& logger = QsLogging::Logger::instance();
    logger.setLoggingLevel(QsLogging::TraceLevel);
    QsLogging::DestinationPtr debugDestination = QsLogging::DestinationFactory::MakeDebugOutputDestination();
    logger.addDestination(debugDestination.get());

    // SIGINT and SIGTERM quit the event loop, so the root and the logs close normally.
    UnixSignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &UnixSignalWatcher::terminationRequested, &app, &QCoreApplication::quit);

    auto* root = new Korvex();

    QLOG_INFO() << "Korvex started. Revision: " << Helper::revisionHostSoftware()
                << " build date: " << Helper::buildDateHostSoftware();

    app.exec();

    delete root;
    debugDestination.reset();
    return 0;
}
