#include "SceneDriver.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QGuiApplication>
#include <QQuickItem>
#include <QtTest>

#include <algorithm>

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

bool SceneDriver::reveal(const QString& objectName, int timeoutMs) const
{
    QQuickItem* item = waitFor(objectName, timeoutMs);
    if (item == nullptr)
        return false;
    // The nearest view that scrolls: a Flickable, found by what it offers.
    for (QQuickItem* view = item->parentItem(); view != nullptr; view = view->parentItem()) {
        if (view->metaObject()->indexOfProperty("contentY") < 0 || view->metaObject()->indexOfProperty("flickableDirection") < 0)
            continue;
        auto* content = view->property("contentItem").value<QQuickItem*>();
        if (content == nullptr)
            continue;
        const QPointF top = item->mapToItem(content, QPointF(0, 0));
        const qreal visible = view->height();
        const qreal origin = view->property("originY").toReal();
        qreal y = view->property("contentY").toReal();
        if (top.y() < y)
            y = top.y();
        else if (top.y() + item->height() > y + visible)
            y = top.y() + item->height() - visible;
        const qreal most = origin + qMax<qreal>(0, view->property("contentHeight").toReal() - visible);
        view->setProperty("contentY", qBound<qreal>(origin, y, most));
        QTest::qWait(50);
        return true;
    }
    return true;
}

bool SceneDriver::type(const QString& objectName, const QString& text) const
{
    if (!click(objectName))
        return false;
    // What was in the field is replaced, as when a user selects it all first.
    QTest::keyClick(m_window.data(), Qt::Key_A, Qt::ControlModifier);
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

QStringList SceneDriver::historyTexts() const
{
    QStringList texts;
    if (m_window.isNull())
        return texts;
    const QObject* session = m_window->findChild<QObject*>(QStringLiteral("session"));
    const auto* history = session == nullptr ? nullptr
                                             : qobject_cast<QAbstractItemModel*>(session->property("history").value<QObject*>());
    if (history == nullptr)
        return texts;
    const int role = history->roleNames().key(QByteArrayLiteral("text"), -1);
    for (int row = 0; row < history->rowCount(); ++row)
        texts.append(history->data(history->index(row, 0), role).toString());
    return texts;
}

QStringList SceneDriver::toasts() const
{
    QStringList texts;
    const QList<QQuickItem*> toasts = findAll(QStringLiteral("toast"));
    for (QQuickItem* toast : toasts) {
        if (toast->objectName() == QLatin1String("toast"))
            texts.append(toast->property("message").toString());
    }
    return texts;
}

void SceneDriver::press(Qt::Key key, Qt::KeyboardModifiers modifiers) const
{
    if (m_window.isNull())
        return;
    // Keys go to the active window, as they do for a user.
    if (!m_window->isActive()) {
        m_window->requestActivate();
        // Without a window manager it may stay inactive; the key is sent all the same.
        (void)QTest::qWaitForWindowActive(m_window.data(), 1000);
    }
    QTest::keyClick(m_window.data(), key, modifiers);
    QTest::qWait(30);
}

QString SceneDriver::focusedName() const
{
    if (m_window.isNull())
        return {};
    for (QQuickItem* item = m_window->activeFocusItem(); item != nullptr; item = item->parentItem()) {
        if (!item->objectName().isEmpty())
            return item->objectName();
    }
    return {};
}

namespace {

bool isControl(const QQuickItem* item)
{
    for (const QMetaObject* meta = item->metaObject(); meta != nullptr; meta = meta->superClass()) {
        const QByteArray name(meta->className());
        if (name == "QQuickAbstractButton" || name == "QQuickTextField" || name == "QQuickComboBox")
            return true;
    }
    return false;
}

// The part of the item a user sees: its rectangle cut by every clipping parent.
QRectF visibleRect(const QQuickItem* item)
{
    QRectF rect = item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
    for (const QQuickItem* above = item->parentItem(); above != nullptr; above = above->parentItem()) {
        if (above->clip())
            rect &= above->mapRectToScene(QRectF(0, 0, above->width(), above->height()));
    }
    return rect;
}

void collectControls(QQuickItem* item, QList<QQuickItem*>& found)
{
    if (item == nullptr || !shown(item))
        return;
    if (isControl(item) && item->width() > 0 && item->height() > 0 && !visibleRect(item).isEmpty()) {
        found.append(item);
        return; // what a control holds is its own business
    }
    const QList<QQuickItem*> children = item->childItems();
    for (QQuickItem* child : children)
        collectControls(child, found);
}

QString describe(const QQuickItem* item)
{
    const QString text = item->property("text").toString();
    return (item->objectName().isEmpty() ? QString::fromLatin1(item->metaObject()->className()) : item->objectName())
        + (text.isEmpty() ? QString() : QStringLiteral(" \"%1\"").arg(text));
}

} // namespace

namespace {

bool stillLoading(const QQuickItem* item)
{
    // Loader.Loading: an asynchronous screen is built a piece per frame.
    if (item->inherits("QQuickLoader") && item->property("status").toInt() == 2)
        return true;
    const auto children = item->childItems();
    return std::any_of(children.begin(), children.end(), stillLoading);
}

} // namespace

void SceneDriver::settle() const
{
    if (m_window.isNull())
        return;
    QElapsedTimer clock;
    clock.start();
    while (!m_window.isNull() && stillLoading(m_window->contentItem()) && clock.elapsed() < 10000)
        QTest::qWait(20);
    // Layouts are polished just before a frame is drawn.
    for (int frame = 0; frame < 2 && !m_window.isNull(); ++frame) {
        QSignalSpy swapped(m_window.data(), &QQuickWindow::frameSwapped);
        m_window->update();
        if (!swapped.wait(2000))
            break;
    }
}

QStringList SceneDriver::overlappingControls() const
{
    QStringList pairs;
    settle();
    if (m_window.isNull())
        return pairs;
    QList<QQuickItem*> controls;
    collectControls(m_window->contentItem(), controls);
    for (int i = 0; i < controls.size(); ++i) {
        const QRectF a = visibleRect(controls.at(i)).adjusted(1, 1, -1, -1);
        for (int j = i + 1; j < controls.size(); ++j) {
            if (a.intersects(visibleRect(controls.at(j)).adjusted(1, 1, -1, -1)))
                pairs.append(describe(controls.at(i)) + QStringLiteral(" / ") + describe(controls.at(j)));
        }
    }
    return pairs;
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
