import QtQuick 2.15
import KorvexSkin 1.0
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// Records into the sensors' memory, brings the recordings over and frees
// the memory again.
ColumnLayout {
    id: panel
    spacing: Theme.gap

    Card {
        title: qsTr("Recording")
        Layout.fillWidth: true
        RowLayout {
            Layout.fillWidth: true
            Button {
                objectName: "startRecording"
                text: qsTr("Start recording")
                highlighted: true
                enabled: !session.recording && devManager.numDevConnected > 0 && session.recordingBlocked === ""
                onClicked: session.startRecording()
            }
            Button {
                objectName: "stopRecording"
                text: qsTr("Stop recording")
                enabled: session.recording
                onClicked: session.stopRecording()
            }
            Rectangle {
                width: 12
                height: 12
                radius: 6
                color: Theme.bad
                visible: session.recording
                SequentialAnimation on opacity {
                    running: session.recording
                    loops: Animation.Infinite
                    NumberAnimation { to: 0.2; duration: 600 }
                    NumberAnimation { to: 1.0; duration: 600 }
                }
            }
            Label {
                objectName: "recordingState"
                Layout.fillWidth: true
                wrapMode: Text.WordWrap
                color: Theme.muted
                text: session.recording ? qsTr("Recording %1 for %2. The sensors record into their own memory.")
                                          .arg(session.lastRecordingId.toUpperCase()).arg(session.formatDuration(session.recordingSeconds))
                    : session.recordingBlocked !== "" ? session.recordingBlocked
                    : session.lastRecordingId !== "" ? qsTr("Last recording: %1").arg(session.lastRecordingId.toUpperCase())
                    : qsTr("Athlete, app and setup are stored with the recording.")
            }
        }
    }

    Card {
        title: qsTr("Upload")
        Layout.fillWidth: true
        RowLayout {
            Layout.fillWidth: true
            Button {
                objectName: "uploadLast"
                text: qsTr("Upload last recording")
                enabled: !session.recording && session.lastRecordingId !== "" && !session.uploading
                onClicked: session.upload(session.lastRecordingId)
            }
            Button {
                objectName: "refreshTables"
                text: session.readingTables ? qsTr("Reading the sensors...") : qsTr("Show what the sensors hold")
                enabled: !session.readingTables && devManager.numDevConnected > 0 && !session.recording
                onClicked: session.readTables()
            }
            BusyIndicator {
                running: session.readingTables
                visible: running
                Layout.preferredHeight: 24
                Layout.preferredWidth: 24
            }
        }
        Label {
            Layout.fillWidth: true
            wrapMode: Text.WordWrap
            color: Theme.muted
            text: session.uploading ? qsTr("%1 pages to go. The upload resumes by itself if a sensor drops out.").arg(uploadController.pagesToUpload)
                : qsTr("Every recording a sensor holds is listed beside it and can be uploaded from there.")
        }
    }

    Card {
        title: qsTr("Sensors")
        Layout.fillWidth: true
        RowLayout {
            Layout.fillWidth: true
            Button {
                objectName: "identifyAll"
                text: qsTr("Identify sensors")
                enabled: devManager.numDevConnected > 0 && session.identifying === ""
                ToolTip.visible: hovered
                ToolTip.text: qsTr("Each connected sensor blinks in turn, so you can tell them apart.")
                onClicked: session.identify(session.onlineSerials())
            }
            Label {
                objectName: "identifyState"
                visible: session.identifying !== ""
                text: qsTr("Sensor %1 is blinking.").arg(session.identifying.toUpperCase())
                color: Theme.warn
            }
            Button {
                objectName: "eraseSensors"
                text: qsTr("Erase sensors' memory...")
                enabled: devManager.numDevConnected > 0 && !session.recording && !session.uploading && !session.erasing
                onClicked: eraseDialog.open()
            }
            BusyIndicator {
                running: session.erasing
                visible: running
                Layout.preferredHeight: 24
                Layout.preferredWidth: 24
            }
        }
    }

    Item { Layout.fillHeight: true }

    ConfirmDialog {
        id: eraseDialog
        objectName: "eraseDialog"
        title: qsTr("Erase the sensors' memory?")
        text: session.counted(devManager.numDevConnected,
                              qsTr("Every recording on the connected sensor is erased, also those not uploaded yet. This cannot be undone."),
                              qsTr("Every recording on the %1 connected sensors is erased, also those not uploaded yet. This cannot be undone."))
        confirmText: qsTr("Erase")
        onConfirmed: session.erase()
    }
}
