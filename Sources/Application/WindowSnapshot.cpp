#include "Application/WindowSnapshot.h"

#include "Application/GuiManager.h"
#include "Log/LogCategories.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPixmap>
#include <QQuickWindow>
#include <QSaveFile>
#include <QScreen>

WindowSnapshot::WindowSnapshot(GuiManager* guiManager, const QString& filePath, QObject* parent)
    : QObject(parent)
    , m_guiManager(guiManager)
    , m_filePath(QFileInfo(filePath).absoluteFilePath())
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &WindowSnapshot::takeNow);
}

void WindowSnapshot::start(int delayMs)
{
    m_timer.start(qMax(0, delayMs));
}

bool WindowSnapshot::takeNow()
{
    QQuickWindow* window = m_guiManager ? m_guiManager->mainWindow() : nullptr;
    QString error;
    bool written = false;
    if (window == nullptr)
        error = QStringLiteral("there is no window");
    else
        written = save(window, m_filePath, &error);

    if (written)
        qCInfo(lcApp) << "Screenshot written to" << m_filePath;
    else
        qCWarning(lcApp) << "No screenshot written to" << m_filePath << "-" << qPrintable(error);
    Q_EMIT finished(written);
    return written;
}

bool WindowSnapshot::save(QQuickWindow* window, const QString& filePath, QString* error)
{
    QImage image = window->grabWindow();
    if (image.isNull() && window->screen() != nullptr) {
        // A scene drawn in software on a platform that cannot read its
        // backing store back (the offscreen one) is still on the screen.
        image = window->screen()->grabWindow(window->winId()).toImage();
    }
    if (image.isNull()) {
        *error = QStringLiteral("the window could not be grabbed");
        return false;
    }
    const QFileInfo target(filePath);
    if (!QDir().mkpath(target.absolutePath())) {
        *error = QStringLiteral("the folder %1 cannot be created").arg(target.absolutePath());
        return false;
    }
    // Through a temporary file, so whoever waits for the picture never reads
    // half of it.
    QSaveFile file(target.absoluteFilePath());
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    if (!image.save(&file, "PNG")) {
        file.cancelWriting();
        *error = QStringLiteral("the picture could not be encoded");
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
