#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class GuiManager;
class QQuickWindow;

// Writes a picture of the program's window to a PNG file, once, a while after
// start. The program goes on running either way; a missing window or a file
// that cannot be written is only logged.
class WindowSnapshot : public QObject
{
    Q_OBJECT
public:
    WindowSnapshot(GuiManager* guiManager, const QString& filePath, QObject* parent = nullptr);

    // Takes the picture delayMs from now.
    void start(int delayMs);

    // Grabs the window now and writes the file; false (with a warning) when
    // there is no window or the file cannot be written.
    bool takeNow();

    // Writes what `window` shows to `filePath` as PNG, creating its folder.
    // The file appears whole or not at all.
    static bool save(QQuickWindow* window, const QString& filePath, QString* error);

Q_SIGNALS:
    void finished(bool written);

private:
    QPointer<GuiManager> m_guiManager;
    QString m_filePath;
    QTimer m_timer;
};
