import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import QtQuick.Window 2.15

// The program's window: navigation on top, the sensors on the left, the
// chosen screen in the middle and what is running at the bottom.
ApplicationWindow {
    id: window
    objectName: "mainWindow"
    width: appWidth
    height: appHeight
    minimumWidth: 640
    minimumHeight: 480
    visible: true
    title: qsTr("Korvex %1").arg(helper.versionCodeHostSoftware())
    color: theme.window

    palette.highlight: theme.accent
    palette.button: theme.surfaceAlt
    palette.window: theme.window
    palette.base: theme.surface
    palette.text: theme.text
    palette.windowText: theme.text
    font.pixelSize: theme.normal

    // The navigation entry on show; the fixed screens come with the skin and
    // the app screens with their apps.
    property string pageSource: "Basic/Screens/Apps.qml"
    readonly property url appsFolder: Qt.resolvedUrl("../../../apps/")
    readonly property bool narrow: width < 900

    function pageUrl(source) {
        if (source.indexOf("Basic/") === 0)
            return Qt.resolvedUrl(source)
        return appsFolder + source
    }

    function showPage(source) {
        pageSource = source
    }

    Theme { id: theme }
    Session { id: session }

    Connections {
        target: notificationHub
        function onInfo(text) { session.toast(text, "info") }
        function onWarning(text) { session.toast(text, "warning") }
        function onError(text) { session.toast(text, "error") }
        function onProgressConfig(text, progress) { session.onSetupProgress(text, progress) }
    }
    Connections {
        target: setupController
        function onSetupDone() {
            session.setupState = "done"
            session.toast(qsTr("Setup done: %1").arg(session.setup), "good")
        }
        function onSetupFailed() {
            session.setupState = "failed"
            session.toast(qsTr("The setup failed: a sensor did not answer. Check that every sensor is on and try again."), "error")
        }
    }
    Connections {
        target: uploadController
        function onUploadProgress(sensor, measurementId, fraction) { session.onUploadProgress(sensor, measurementId, fraction) }
        function onPagesToUploadChanged(pages) { session.onPagesLeft(pages) }
        function onUploadComplete(sensor, measurementId) { session.onUploadComplete(sensor, measurementId) }
    }
    Connections {
        target: stateController
        function onNumberOfMessagesChanged() {
            if (session.erasing)
                session.eraseTotal = Math.max(session.eraseTotal, stateController.numMessages)
            if (session.erasing && stateController.numMessages === 0) {
                session.erasing = false
                session.toast(qsTr("The sensors' memory is erased."), "good")
            }
        }
    }
    Connections {
        target: devManager
        function onDeviceDisconnected(serial) {
            if (session.uploading)
                session.toast(qsTr("A sensor was lost during the upload. What was uploaded is kept; the upload goes on when the sensor is back."), "warning")
        }
    }
    Component.onCompleted: {
        appManager.AppScreensLoaded.connect(function() {
            if (navigationItems.rowCount() > 3)
                window.showPage(navigationItems.data(navigationItems.index(3, 0), 258))
        })
    }

    header: NavBar {
        currentSource: window.pageSource
        onSelected: window.showPage(source)
    }

    RowLayout {
        anchors.fill: parent
        spacing: 0

        DevicePanel {
            Layout.fillHeight: true
            Layout.preferredWidth: window.narrow ? 220 : 280
        }

        Loader {
            id: page
            objectName: "page"
            Layout.fillWidth: true
            Layout.fillHeight: true
            // Screens are read and built a piece per frame, so a click
            // never holds up the window.
            asynchronous: true
            source: window.pageUrl(window.pageSource)
            onStatusChanged: {
                if (status === Loader.Error)
                    session.toast(qsTr("The screen %1 could not be opened.").arg(window.pageSource), "error")
            }
        }
    }

    footer: StatusLine { }

    Toasts {
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: theme.gap * 2
        width: Math.min(360, parent.width - 40)
    }
}
