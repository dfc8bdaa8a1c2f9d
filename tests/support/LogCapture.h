#pragma once

#include <QLoggingCategory>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// Collects every debug-stream line written while it exists (instead of
// printing it), so a test can check that a line was or was not written.
// The program's own logging categories are switched on while it exists,
// whatever QT_LOGGING_RULES says. Only one may exist at a time.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();

    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    QStringList lines() const;
    // Number of lines that contain `text`.
    int count(const QString& text) const;
    bool contains(const QString& text) const { return count(text) > 0; }
    void clear();

    // Switches every message type of the program's categories (and of plain
    // qDebug) on; for use in a category filter, after the rules' own filter.
    static void enableProgramCategory(QLoggingCategory* category);

private:
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& message);
    static void filter(QLoggingCategory* category);

    QtMessageHandler m_previous = nullptr;
};
