#include "FuzzSupport.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <cstdlib>

namespace {
int s_argc = 1;
char s_name[] = "korvex-fuzz";
char* s_argv[] = {s_name, nullptr};
} // namespace

void fuzzSetUp()
{
    static QCoreApplication* app = nullptr;
    if (app)
        return;
    app = new QCoreApplication(s_argc, s_argv);
    // Set KORVEX_FUZZ_LOG=1 to see what a crashing input makes the parsers say.
    if (qgetenv("KORVEX_FUZZ_LOG") != "1")
        QLoggingCategory::setFilterRules(QStringLiteral("korvex.*.debug=false"));
}
