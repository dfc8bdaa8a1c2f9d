import QtQuick 2.15
import KorvexSkin 1.0
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// Who and what is selected, how much work the sensors still have, and the
// progress of a setup or an upload while one runs.
Rectangle {
    id: line
    objectName: "statusLine"
    implicitHeight: column.implicitHeight + Theme.gap
    color: Theme.surface
    border.color: Theme.border

    signal historyRequested()

    function orNone(text) { return text === "" ? "–" : text }

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.leftMargin: Theme.gap * 2
        anchors.rightMargin: Theme.gap * 2
        anchors.topMargin: Theme.gap / 2
        spacing: 2

        RowLayout {
            visible: session.setupState === "running"
            Layout.fillWidth: true
            Label {
                text: session.setupText
                Layout.preferredWidth: 200
                elide: Text.ElideRight
            }
            Meter {
                objectName: "setupProgress"
                Layout.fillWidth: true
                value: session.setupProgress
            }
            Label {
                text: Math.round(session.setupProgress * 100) + " %"
                Layout.preferredWidth: 48
                horizontalAlignment: Text.AlignRight
            }
        }

        RowLayout {
            visible: session.erasing
            Layout.fillWidth: true
            Label {
                text: qsTr("Erasing the sensors' memory")
                Layout.preferredWidth: 200
                elide: Text.ElideRight
            }
            Meter {
                objectName: "eraseProgress"
                Layout.fillWidth: true
                value: session.eraseProgress
            }
            Label {
                text: Math.round(session.eraseProgress * 100) + " %"
                Layout.preferredWidth: 48
                horizontalAlignment: Text.AlignRight
            }
        }

        RowLayout {
            visible: session.uploading
            Layout.fillWidth: true
            Label {
                text: qsTr("Uploading %1").arg(session.uploadMeasurement.toUpperCase())
                Layout.preferredWidth: 200
                elide: Text.ElideRight
            }
            Meter {
                objectName: "uploadProgress"
                Layout.fillWidth: true
                value: session.uploadFraction
            }
            Label {
                objectName: "uploadRemaining"
                text: Math.round(session.uploadFraction * 100) + " %  " + session.formatSeconds(session.uploadSecondsLeft)
                Layout.preferredWidth: 150
                horizontalAlignment: Text.AlignRight
            }
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.preferredHeight: 26
            spacing: Theme.gap * 2
            Label {
                objectName: "statusUser"
                text: qsTr("Athlete: %1").arg(line.orNone(session.user))
                elide: Text.ElideRight
                Layout.maximumWidth: 180
            }
            Label {
                objectName: "statusApp"
                text: qsTr("App: %1").arg(line.orNone(session.app))
                elide: Text.ElideRight
                Layout.maximumWidth: 160
            }
            Label {
                objectName: "statusSetup"
                text: qsTr("Setup: %1").arg(line.orNone(session.setup))
                elide: Text.ElideRight
                Layout.fillWidth: true
                Layout.minimumWidth: 60
                ToolTip.visible: setupHover.hovered && truncated
                ToolTip.text: text
                HoverHandler { id: setupHover }
            }
            // What the sensors do: recording (with its time), streaming,
            // being set up or erased, or which one blinks.
            Rectangle {
                width: 10
                height: 10
                radius: 5
                visible: session.recording
                color: Theme.bad
            }
            Label {
                objectName: "statusActivity"
                visible: text !== ""
                text: session.identifying !== "" ? qsTr("Sensor %1 blinking").arg(session.identifying.toUpperCase())
                    : session.activity !== "" ? qsTr("Sensors %1").arg(session.activity) : ""
                font.bold: session.recording || session.streaming
                color: session.recording ? Theme.bad : Theme.text
            }
            BusyIndicator {
                running: stateController.numMessages > 0
                visible: running
                Layout.preferredWidth: 22
                Layout.preferredHeight: 22
            }
            Label {
                objectName: "taskCounter"
                // "idle" only when nothing runs: a live view or a recording
                // keeps the sensors at work without a message pending.
                visible: session.activity === "" || stateController.numMessages > 0
                text: stateController.numMessages > 0
                      ? (session.erasing ? qsTr("Sensors busy")
                                         : stateController.numMessages === 1 ? qsTr("1 sensor task pending")
                                                                             : qsTr("%1 sensor tasks pending").arg(stateController.numMessages))
                      : qsTr("Sensors idle")
                color: stateController.numMessages === 0 ? Theme.muted : Theme.text
            }
            ToolButton {
                objectName: "openHistory"
                text: qsTr("Messages (%1)").arg(session.history.count)
                font.pixelSize: Theme.small
                Accessible.name: qsTr("Open the message history")
                ToolTip.visible: hovered
                ToolTip.text: qsTr("Every message of this run, with its time (Ctrl+H)")
                onClicked: line.historyRequested()
            }
        }
    }
}
