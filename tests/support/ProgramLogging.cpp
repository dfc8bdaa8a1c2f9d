// Compiled into every test executable: the program's own logging categories
// stay on in tests whatever QT_LOGGING_RULES says, because many checks look
// for the lines they write (through LogCapture or QTest::ignoreMessage).
// Someone who silences them for a test run gets a quiet run, not a red one.

#include <QLoggingCategory>
#include <QtGlobal>

#include <cstring>

namespace {

QLoggingCategory::CategoryFilter s_rulesFilter = nullptr;

void keepProgramCategoriesOn(QLoggingCategory* category)
{
    if (s_rulesFilter)
        s_rulesFilter(category);
    const char* name = category->categoryName();
    if (std::strncmp(name, "korvex.", 7) == 0 || std::strcmp(name, "default") == 0) {
        for (QtMsgType type : {QtDebugMsg, QtInfoMsg, QtWarningMsg, QtCriticalMsg})
            category->setEnabled(type, true);
    }
}

void installProgramLogging()
{
    s_rulesFilter = QLoggingCategory::installFilter(&keepProgramCategoriesOn);
}

} // namespace

Q_CONSTRUCTOR_FUNCTION(installProgramLogging)
