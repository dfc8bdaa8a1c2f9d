#pragma once

#include <QLoggingCategory>

// One category per subsystem, all enabled by default. Silence one with, e.g.,
// QT_LOGGING_RULES="korvex.links.debug=false".
Q_DECLARE_LOGGING_CATEGORY(lcApp)
Q_DECLARE_LOGGING_CATEGORY(lcLinks)
Q_DECLARE_LOGGING_CATEGORY(lcProtocol)
Q_DECLARE_LOGGING_CATEGORY(lcDevices)
Q_DECLARE_LOGGING_CATEGORY(lcData)
Q_DECLARE_LOGGING_CATEGORY(lcWorkflows)
Q_DECLARE_LOGGING_CATEGORY(lcProcessing)
Q_DECLARE_LOGGING_CATEGORY(lcPlotting)
