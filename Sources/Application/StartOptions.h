#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

// The program's command line: a picture of the window after a while, and the
// window's size at start. Parsed before anything else is created, so a
// mistyped option ends the program before it touches a port or a file.
class StartOptions
{
public:
    static constexpr double kDefaultScreenshotDelaySeconds = 3.0;

    // False when the arguments (program name first, as from
    // QCoreApplication::arguments() or programArguments()) are not
    // understood; errorText() says why.
    bool parse(const QStringList& arguments);

    // main's argv without the options Qt's application object takes for
    // itself (-platform NAME, -qwindowtitle TITLE, -reverse, ...), so that the
    // command line can be checked, and --help answered, before that object
    // exists and needs a display.
    static QStringList programArguments(int argc, const char* const* argv);

    QString errorText() const { return m_errorText; }
    // The short usage, for a mistake or for --help.
    QString helpText() const { return m_helpText; }
    bool helpRequested() const { return m_helpRequested; }

    // Empty when no picture was asked for.
    QString screenshotPath() const { return m_screenshotPath; }
    int screenshotDelayMs() const { return m_screenshotDelayMs; }
    // Invalid when the window keeps the size the scene gives it.
    QSize windowSize() const { return m_windowSize; }

private:
    bool fail(const QString& text);

    QString m_errorText;
    QString m_helpText;
    bool m_helpRequested = false;
    QString m_screenshotPath;
    int m_screenshotDelayMs = int(kDefaultScreenshotDelaySeconds * 1000);
    QSize m_windowSize;
};
