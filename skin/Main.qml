import QtQml 2.15
import QtQuick 2.15
import KorvexSkin 1.0
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
    title: helper.versionCodeHostSoftware()
    color: Theme.window

    palette.highlight: Theme.accent
    palette.button: Theme.surfaceAlt
    palette.window: Theme.window
    palette.base: Theme.surface
    palette.text: Theme.text
    palette.windowText: Theme.text
    font.pixelSize: Theme.normal

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
        function onSetupDone() { session.onSetupDone() }
        function onSetupFailed() { session.onSetupFailed() }
    }
    Connections {
        target: uploadController
        function onUploadProgress(sensor, measurementId, fraction) { session.onUploadProgress(sensor, measurementId, fraction) }
        function onPagesToUploadChanged(pages) { session.onPagesLeft(pages) }
        function onUploadComplete(sensor, measurementId) { session.onUploadComplete(sensor, measurementId) }
        function onUploadFailed(sensor, measurementId, reason) { session.onUploadFailed(sensor, measurementId, reason) }
        function onEraseComplete(sensors) {
            session.toast(sensors === 1 ? qsTr("The sensor's memory is erased.")
                                        : qsTr("The memory of %1 sensors is erased.").arg(sensors), "good")
        }
        function onEraseFailed(sensor, reason) {
            session.toast(qsTr("Sensor %1 was not erased completely: %2").arg(sensor.toUpperCase()).arg(reason), "error")
        }
        function onRecordingStopped(measurementId) {
            session.toast(qsTr("Recording %1 stopped; the data is safe in the sensors until you upload it.")
                          .arg(measurementId.toUpperCase()), "info")
        }
        function onIdentifyingSensor(sensor) {
            session.identifying = sensor
            session.toast(qsTr("Sensor %1 is blinking now.").arg(sensor.toUpperCase()), "info")
        }
        function onIdentifyingFinished() { session.identifying = "" }
        function onTablesRead(sensors, recordings) {
            if (!session.readingTables)
                return
            session.readingTables = false
            session.toast(session.counted(sensors, qsTr("%1 sensor read: "), qsTr("%1 sensors read: "))
                          + session.counted(recordings, qsTr("%1 recording on "), qsTr("%1 recordings on "))
                          + (sensors === 1 ? qsTr("it.") : qsTr("them.")), "info")
        }
    }
    Connections {
        target: interfaceManager
        function onBluetoothScanFinished(found, problem) {
            if (problem !== "")
                session.toast(problem, "warning")
            else
                session.toast(found === 0 ? qsTr("No new Bluetooth sensor found. Switch the sensor on and scan again.")
                                          : found === 1 ? qsTr("Found 1 new Bluetooth sensor.")
                                                        : qsTr("Found %1 new Bluetooth sensors.").arg(found),
                              found === 0 ? "warning" : "good")
        }
    }
    Connections {
        target: plotController
        function onLivePlotterCreated(measurementId, serial) { session.addLivePlot(measurementId, serial) }
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
                window.showPage(navigationItems.valueAt(3, "PageSource"))
        })
    }

    // Closing while the sensors record or an upload runs asks first.
    property bool closeConfirmed: false
    onClosing: {
        if (closeConfirmed || (!session.recording && !session.uploading))
            return
        close.accepted = false
        closeDialog.open()
    }
    ConfirmDialog {
        id: closeDialog
        objectName: "closeDialog"
        title: qsTr("Close Korvex?")
        text: session.recording
              ? qsTr("The sensors are recording. They go on recording into their memory; stop the recording later to upload it.")
              : qsTr("An upload is running. What is uploaded is kept; the rest is uploaded the next time.")
        confirmText: qsTr("Close")
        onConfirmed: {
            window.closeConfirmed = true
            window.close()
        }
    }

    // Ctrl+1 ... Ctrl+9 open the entries of the top bar.
    Instantiator {
        model: 9
        delegate: Shortcut {
            sequence: "Ctrl+" + (index + 1)
            onActivated: {
                if (index < navigationItems.rowCount())
                    window.showPage(navigationItems.valueAt(index, "PageSource"))
            }
        }
    }
    Shortcut {
        sequence: "Ctrl+H"
        onActivated: historyPopup.open()
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

    footer: ColumnLayout {
        spacing: 0
        Toasts {
            Layout.fillWidth: true
            // On a small screen one note at a time; the rest are in the history.
            shown: window.height < 700 ? 1 : 2
        }
        StatusLine {
            Layout.fillWidth: true
            onHistoryRequested: historyPopup.open()
        }
    }

    MessageHistory {
        id: historyPopup
    }
}
