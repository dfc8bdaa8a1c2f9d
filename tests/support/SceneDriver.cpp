#include "SceneDriver.h"

#include <QDir>
#include <QGuiApplication>
#include <QQuickItem>
#include <QtTest>

namespace {

QStringList s_messages;
QtMessageHandler s_previous = nullptr;

void keepSceneMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const QString category = QString::fromLatin1(context.category ? context.category : "");
    const bool fromScene = category.startsWith(QLatin1String("qml")) || category.startsWith(QLatin1String("js"))
        || message.contains(QLatin1String(".qml")) || message.contains(QLatin1String("QQmlApplicationEngine"));
    if (type != QtDebugMsg && type != QtInfoMsg && fromScene)
        s_messages.append(message);
    if (s_previous != nullptr)
        s_previous(type, context, message);
}

bool shown(const QQuickItem* item)
{
    return item->isVisible() && item->opacity() > 0.0;
}

void collect(QQuickItem* item, const QString& name, bool prefix, QList<QQuickItem*>& found)
{
    if (item == nullptr || !shown(item))
        return;
    const QString own = item->objectName();
    if (prefix ? own.startsWith(name) : own == name)
        found.append(item);
    const QList<QQuickItem*> children = item->childItems();
    for (QQuickItem* child : children)
        collect(child, name, prefix, found);
}

} // namespace

QQuickWindow* SceneDriver::findWindow()
{
    const QList<QWindow*> windows = QGuiApplication::topLevelWindows();
    for (QWindow* window : windows) {
        if (auto* quick = qobject_cast<QQuickWindow*>(window))
            return quick;
    }
    return nullptr;
}

SceneDriver::SceneDriver(QQuickWindow* window)
    : m_window(window)
{
}

QQuickItem* SceneDriver::find(const QString& objectName) const
{
    if (m_window.isNull())
        return nullptr;
    QList<QQuickItem*> found;
    collect(m_window->contentItem(), objectName, false, found);
    return found.isEmpty() ? nullptr : found.first();
}

QList<QQuickItem*> SceneDriver::findAll(const QString& prefix) const
{
    QList<QQuickItem*> found;
    if (!m_window.isNull())
        collect(m_window->contentItem(), prefix, true, found);
    return found;
}

QQuickItem* SceneDriver::waitFor(const QString& objectName, int timeoutMs) const
{
    QElapsedTimer timer;
    timer.start();
    // Screens are built a piece at a time: an item counts once it has kept
    // its place for a moment.
    QPointF lastPlace(-1e9, -1e9);
    for (;;) {
        QQuickItem* item = find(objectName);
        if (item != nullptr && item->isEnabled() && item->width() > 0 && item->height() > 0) {
            const QPointF place = item->mapToScene(QPointF(0, 0));
            if (place == lastPlace)
                return item;
            lastPlace = place;
        }
        if (timer.elapsed() > timeoutMs)
            return nullptr;
        QTest::qWait(20);
    }
}

bool SceneDriver::click(const QString& objectName, int timeoutMs) const
{
    QQuickItem* item = waitFor(objectName, timeoutMs);
    if (item == nullptr) {
        qWarning() << "Nothing to click:" << objectName << "is not shown or not enabled.";
        return false;
    }
    return click(item);
}

bool SceneDriver::click(QQuickItem* item) const
{
    if (item == nullptr || m_window.isNull())
        return false;
    const QPointF middle = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
    const QPoint point = middle.toPoint();
    if (!QRect(QPoint(0, 0), m_window->size()).contains(point)) {
        qWarning() << "Cannot click" << item->objectName() << "at" << point << "outside the window.";
        return false;
    }
    // A user cannot click what a scrolled or clipped view hides.
    for (const QQuickItem* above = item->parentItem(); above != nullptr; above = above->parentItem()) {
        const QRectF area = above->mapRectToScene(QRectF(0, 0, above->width(), above->height()));
        if (above->clip() && !area.contains(middle)) {
            qWarning() << "Cannot click" << item->objectName() << "at" << point << ": it is scrolled out of view.";
            return false;
        }
    }
    if (m_observer)
        m_observer(item->objectName());
    QTest::mouseClick(m_window.data(), Qt::LeftButton, Qt::NoModifier, point);
    QTest::qWait(30);
    return true;
}

bool SceneDriver::type(const QString& objectName, const QString& text) const
{
    if (!click(objectName))
        return false;
    for (const QChar c : text)
        QTest::keyClick(m_window.data(), c.toLatin1());
    return true;
}

bool SceneDriver::toastSaying(const QString& text) const
{
    const QList<QQuickItem*> toasts = findAll(QStringLiteral("toast"));
    for (QQuickItem* toast : toasts) {
        if (toast->property("message").toString() == text)
            return true;
    }
    return false;
}

QString SceneDriver::text(const QString& objectName) const
{
    QQuickItem* item = find(objectName);
    return item == nullptr ? QString() : item->property("text").toString();
}

QString SceneDriver::picture(const QString& name) const
{
    const QString folder = qEnvironmentVariable("KORVEX_SCREENSHOT_DIR");
    if (folder.isEmpty() || m_window.isNull())
        return QString();
    QDir().mkpath(folder);
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    // Two frames, so what was just clicked has been drawn.
    QTest::qWait(200);
    const QImage image = m_window->grabWindow();
    if (!image.save(path)) {
        qWarning() << "Could not save a picture of the window to" << path << image.size();
        return QString();
    }
    return path;
}

void SceneDriver::collectSceneMessages()
{
    if (s_previous == nullptr)
        s_previous = qInstallMessageHandler(keepSceneMessage);
}

QStringList SceneDriver::sceneMessages()
{
    return s_messages;
}

void SceneDriver::clearSceneMessages()
{
    s_messages.clear();
}
