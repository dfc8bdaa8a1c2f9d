#include "LogCapture.h"

namespace {
QStringList* s_lines = nullptr;
}

LogCapture::LogCapture()
{
    Q_ASSERT(s_lines == nullptr);
    s_lines = new QStringList;
    m_previous = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(m_previous);
    delete s_lines;
    s_lines = nullptr;
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
