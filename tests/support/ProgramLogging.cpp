// Compiled into every test executable that links the test support: the
// program's own logging categories stay on in tests whatever
// QT_LOGGING_RULES says, because many checks look for the lines they write
// (through LogCapture or QTest::ignoreMessage). Someone who silences them for
// a test run gets a quiet run, not a red one.

#include "LogCapture.h"

#include <QLoggingCategory>

namespace {

QLoggingCategory::CategoryFilter s_rulesFilter = nullptr;

void keepProgramCategoriesOn(QLoggingCategory* category)
{
    if (s_rulesFilter)
        s_rulesFilter(category);
    LogCapture::enableProgramCategory(category);
}

void installProgramLogging()
{
    s_rulesFilter = QLoggingCategory::installFilter(&keepProgramCategoriesOn);
}

} // namespace

Q_CONSTRUCTOR_FUNCTION(installProgramLogging)
