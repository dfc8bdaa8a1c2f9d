#pragma once

// QCustomPlot's header uses Qt's lower-case keywords, which the simulator
// (linked by every suite) switches off for everything that links it.
#ifdef QT_NO_KEYWORDS
#define signals Q_SIGNALS
#define slots Q_SLOTS
#define emit Q_EMIT
#define foreach Q_FOREACH
#include <qcustomplot.h>
#undef signals
#undef slots
#undef emit
#undef foreach
#else
#include <qcustomplot.h>
#endif
