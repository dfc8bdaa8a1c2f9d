#pragma once

#include <QPointer>
#include <QQuickWindow>
#include <QString>
#include <QStringList>

#include <functional>

class QQuickItem;

// Drives the program's scene as a user would: finds items by objectName,
// clicks them, types into them, and keeps what the QML engine complains
// about. Pictures of the window go to the folder KORVEX_SCREENSHOT_DIR
// names, when it is set.
class SceneDriver
{
public:
    // The first scene window of the process; null when there is none.
    static QQuickWindow* findWindow();

    explicit SceneDriver(QQuickWindow* window);

    QQuickWindow* window() const { return m_window; }

    // The first visible item with this objectName (the scene, its popups
    // included); null if there is none.
    QQuickItem* find(const QString& objectName) const;
    // All visible items whose objectName starts with `prefix`.
    QList<QQuickItem*> findAll(const QString& prefix) const;
    // Waits until the item exists and is visible and enabled.
    QQuickItem* waitFor(const QString& objectName, int timeoutMs = 10000) const;
    // Clicks the middle of the item; false if it is not there, hidden,
    // disabled, outside the window or scrolled out of view.
    bool click(const QString& objectName, int timeoutMs = 10000) const;
    bool click(QQuickItem* item) const;
    // Scrolls the list or view the item sits in until the item is in view,
    // as a user would with the wheel; false when it is not there.
    bool reveal(const QString& objectName, int timeoutMs = 10000) const;
    // Clicks the field and types the text in place of what it held.
    bool type(const QString& objectName, const QString& text) const;
    // Whether a message with this text is shown.
    bool toastSaying(const QString& text) const;
    // Every note of the message history, oldest first.
    QStringList historyTexts() const;
    // The texts of the messages shown now, oldest first.
    QStringList toasts() const;
    // Types a key (with modifiers) into the window, where the focus is.
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const;
    // The objectName of the item with the keyboard focus, or of its nearest
    // named parent.
    QString focusedName() const;
    // Waits until no screen is still being built and the window has drawn
    // two frames since, so every layout has placed its items.
    void settle() const;
    // Pairs of shown controls (buttons, fields, boxes) that cover each
    // other, as "a / b": a user cannot reach the one beneath. Looked at
    // once the scene has settled: a screen half laid out is not what a
    // user sees.
    QStringList overlappingControls() const;
    // A text property of an item, or an empty text.
    QString text(const QString& objectName) const;

    // Told the objectName of every item clicked, before the click.
    void setClickObserver(std::function<void(const QString&)> observer) { m_observer = std::move(observer); }

    // Saves the window as NAME.png when pictures are asked for.
    QString picture(const QString& name) const;

    // Collects QML warnings and errors from now on (process-wide).
    static void collectSceneMessages();
    static QStringList sceneMessages();
    static void clearSceneMessages();

private:
    QPointer<QQuickWindow> m_window;
    std::function<void(const QString&)> m_observer;
};
