#include "Application/StartOptions.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QRegularExpression>

#include <cmath>

namespace {

// Large enough for any screen, small enough that width * height * 4 bytes of
// a grabbed picture cannot overflow.
const int kLargestSide = 16384;
// A day; anything longer is a typo.
const double kLongestDelaySeconds = 86400.0;

// What QCoreApplication, QGuiApplication, QApplication and the X11 platform
// take out of argv before the program sees it: the option, with one dash or
// two, and whether the next argument is its value. -style and -stylesheet
// also come as -style=NAME.
struct QtOption
{
    const char* name;
    bool takesValue;
};
const QtOption kQtOptions[] = {
    {"platform", true},   {"platformpluginpath", true}, {"platformtheme", true}, {"plugin", true},
    {"qwindowgeometry", true}, {"qwindowtitle", true},   {"qwindowicon", true},   {"geometry", true},
    {"title", true},      {"icon", true},               {"session", true},       {"style", true},
    {"stylesheet", true}, {"qmljsdebugger", true},      {"display", true},       {"name", true},
    {"visual", true},     {"reverse", false},           {"widgetcount", false},  {"testability", false},
    {"nograb", false},    {"dograb", false},
};

// QCommandLineParser::helpText() names the program from the application
// object, which does not exist yet when the command line is checked; the
// usage is written here instead, in the same layout.
QString usageText(const QString& program, const QString& description, const QList<QCommandLineOption>& options)
{
    QStringList names;
    int widest = 0;
    for (const QCommandLineOption& option : options) {
        QStringList forms;
        for (const QString& name : option.names())
            forms << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        QString text = forms.join(QStringLiteral(", "));
        if (!option.valueName().isEmpty())
            text += QStringLiteral(" <%1>").arg(option.valueName());
        widest = qMax(widest, text.size());
        names << text;
    }
    QString usage = QStringLiteral("Usage: %1 [options]\n%2\n\nOptions:\n").arg(program, description);
    for (int i = 0; i < options.size(); ++i)
        usage += QStringLiteral("  %1  %2\n").arg(names.at(i), -widest).arg(options.at(i).description());
    return usage;
}

} // namespace

QStringList StartOptions::programArguments(int argc, const char* const* argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (i == 0 || !argument.startsWith(QLatin1Char('-'))) {
            arguments << argument;
            continue;
        }
        const QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
        bool taken = false;
        for (const QtOption& option : kQtOptions) {
            const QLatin1String optionName(option.name);
            if (name == optionName) {
                taken = true;
                if (option.takesValue && i + 1 < argc)
                    ++i;
                break;
            }
            if (option.takesValue && name.startsWith(optionName + QLatin1Char('='))) {
                taken = true;
                break;
            }
        }
        if (!taken)
            arguments << argument;
    }
    return arguments;
}

bool StartOptions::parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Write a picture of the window to FILE (PNG)."),
                                        QStringLiteral("FILE"));
    const QCommandLineOption after(QStringLiteral("after"),
                                   QStringLiteral("Take the picture SECONDS after start (default 3)."),
                                   QStringLiteral("SECONDS"));
    const QCommandLineOption size(QStringLiteral("size"), QStringLiteral("Resize the window at start, e.g. 1280x800."),
                                  QStringLiteral("WIDTHxHEIGHT"));
    const QList<QCommandLineOption> options{help, screenshot, after, size};
    parser.addOptions(options);
    m_helpText = usageText(arguments.value(0, QStringLiteral("korvex")),
                           QStringLiteral("Korvex, the desktop host for KINEtrak motion sensors."), options);

    if (!parser.parse(arguments))
        return fail(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().first()));
    m_helpRequested = parser.isSet(help);

    if (parser.isSet(screenshot)) {
        m_screenshotPath = parser.value(screenshot);
        if (m_screenshotPath.isEmpty())
            return fail(QStringLiteral("--screenshot wants a file name."));
    }
    if (parser.isSet(after)) {
        if (m_screenshotPath.isEmpty())
            return fail(QStringLiteral("--after only goes with --screenshot."));
        bool ok = false;
        const double seconds = parser.value(after).toDouble(&ok);
        if (!ok || !std::isfinite(seconds) || seconds < 0.0 || seconds > kLongestDelaySeconds)
            return fail(QStringLiteral("--after wants a number of seconds from 0 to %1, not \"%2\".")
                            .arg(kLongestDelaySeconds)
                            .arg(parser.value(after)));
        m_screenshotDelayMs = int(std::lround(seconds * 1000.0));
    }
    if (parser.isSet(size)) {
        static const QRegularExpression pattern(QStringLiteral("^(\\d{1,5})x(\\d{1,5})$"));
        const QRegularExpressionMatch match = pattern.match(parser.value(size));
        const int width = match.hasMatch() ? match.captured(1).toInt() : 0;
        const int height = match.hasMatch() ? match.captured(2).toInt() : 0;
        if (width < 1 || height < 1 || width > kLargestSide || height > kLargestSide)
            return fail(QStringLiteral("--size wants WIDTHxHEIGHT, each from 1 to %1, not \"%2\".")
                            .arg(kLargestSide)
                            .arg(parser.value(size)));
        m_windowSize = QSize(width, height);
    }
    return true;
}

bool StartOptions::fail(const QString& text)
{
    m_errorText = text;
    return false;
}
