#include "Log/LogCategories.h"

Q_LOGGING_CATEGORY(lcApp, "korvex.app")
Q_LOGGING_CATEGORY(lcLinks, "korvex.links")
Q_LOGGING_CATEGORY(lcProtocol, "korvex.protocol")
Q_LOGGING_CATEGORY(lcDevices, "korvex.devices")
Q_LOGGING_CATEGORY(lcData, "korvex.data")
Q_LOGGING_CATEGORY(lcWorkflows, "korvex.workflows")
Q_LOGGING_CATEGORY(lcProcessing, "korvex.processing")
Q_LOGGING_CATEGORY(lcPlotting, "korvex.plotting")
