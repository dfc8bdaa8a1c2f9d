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

} // namespace

bool StartOptions::parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Korvex, the desktop host for KINEtrak motion sensors."));
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
    parser.addOption(help);
    parser.addOption(screenshot);
    parser.addOption(after);
    parser.addOption(size);
    m_helpText = parser.helpText();

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
