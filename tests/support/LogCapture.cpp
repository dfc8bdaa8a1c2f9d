#include "LogCapture.h"

#include <cstring>

namespace {
QStringList* s_lines = nullptr;
QLoggingCategory::CategoryFilter s_previousFilter = nullptr;
}

LogCapture::LogCapture()
{
    Q_ASSERT(s_lines == nullptr);
    s_lines = new QStringList;
    m_previous = qInstallMessageHandler(&LogCapture::handler);
    s_previousFilter = QLoggingCategory::installFilter(&LogCapture::filter);
}

LogCapture::~LogCapture()
{
    QLoggingCategory::installFilter(s_previousFilter);
    s_previousFilter = nullptr;
    qInstallMessageHandler(m_previous);
    delete s_lines;
    s_lines = nullptr;
}

void LogCapture::filter(QLoggingCategory* category)
{
    if (s_previousFilter)
        s_previousFilter(category);
    // The lines a test looks for come from the program's categories (and
    // plain qDebug); someone who silenced them for a run still wants the
    // checks on them to pass.
    enableProgramCategory(category);
}

void LogCapture::enableProgramCategory(QLoggingCategory* category)
{
    const char* name = category->categoryName();
    if (std::strncmp(name, "korvex.", 7) == 0 || std::strcmp(name, "default") == 0) {
        for (QtMsgType type : {QtDebugMsg, QtInfoMsg, QtWarningMsg, QtCriticalMsg})
            category->setEnabled(type, true);
    }
}

void LogCapture::handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    Q_UNUSED(type)
    Q_UNUSED(context)
    if (s_lines)
        s_lines->append(message);
}

QStringList LogCapture::lines() const
{
    return s_lines ? *s_lines : QStringList();
}

int LogCapture::count(const QString& text) const
{
    int n = 0;
    for (const QString& line : lines()) {
        if (line.contains(text))
            ++n;
    }
    return n;
}

void LogCapture::clear()
{
    if (s_lines)
        s_lines->clear();
}
