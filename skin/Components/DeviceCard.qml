import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// One sensor: who it is, how it is reached, what it is doing and what it holds.
Rectangle {
    id: card
    objectName: "device_" + serial
    property string serial: ""
    property bool online: false
    property bool usb: false
    property bool bluetooth: false
    property string state: ""
    property int firmware: 0
    readonly property var measurements: devModel.getMeasurementsOnDeviceModel(serial)

    implicitHeight: column.implicitHeight + theme.gap * 2
    radius: theme.radius
    color: theme.surface
    border.color: online ? theme.accent : theme.border
    opacity: online ? 1.0 : 0.7

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: theme.gap
        spacing: 4

        RowLayout {
            Layout.fillWidth: true
            Rectangle {
                width: 10
                height: 10
                radius: 5
                color: card.online ? theme.good : theme.muted
            }
            Label {
                text: card.serial.toUpperCase()
                font.bold: true
                font.family: "DejaVu Sans Mono"
                Layout.fillWidth: true
                elide: Text.ElideRight
            }
            Button {
                objectName: "identify_" + card.serial
                text: qsTr("Identify")
                enabled: card.online
                flat: true
                onClicked: {
                    uploadController.identifySensor(card.serial)
                    session.toast(qsTr("Sensor %1 blinks in colours for a few seconds.").arg(card.serial.toUpperCase()), "info")
                }
            }
        }
        Label {
            Layout.fillWidth: true
            color: theme.muted
            font.pixelSize: theme.small
            wrapMode: Text.WordWrap
            text: {
                if (!card.online)
                    return qsTr("Offline")
                var links = []
                if (card.usb)
                    links.push(qsTr("USB"))
                if (card.bluetooth)
                    links.push(qsTr("Bluetooth"))
                var parts = [links.join(" + ")]
                if (card.state !== "")
                    parts.push(card.state)
                if (card.firmware > 0)
                    parts.push(qsTr("firmware %1").arg(card.firmware))
                return parts.join(" · ")
            }
        }
        Label {
            objectName: "recordings_" + card.serial
            Layout.fillWidth: true
            font.pixelSize: theme.small
            readonly property int count: recordings.count
            text: count === 0 ? qsTr("No recordings on the sensor")
                              : count === 1 ? qsTr("1 recording on the sensor") : qsTr("%1 recordings on the sensor").arg(count)
            color: count === 0 ? theme.muted : theme.text
        }
        Repeater {
            id: recordings
            model: card.measurements
            // A few are listed; the rest are counted.
            delegate: RowLayout {
                Layout.fillWidth: true
                visible: index < 3
                Label {
                    text: qsTr("Recording %1").arg(MeasurementID.toUpperCase())
                    font.pixelSize: theme.small
                    font.family: "DejaVu Sans Mono"
                    Layout.fillWidth: true
                    elide: Text.ElideRight
                }
                ToolButton {
                    objectName: "uploadOne_" + MeasurementID
                    text: qsTr("Upload")
                    font.pixelSize: theme.small
                    enabled: card.online
                    onClicked: session.upload(MeasurementID)
                }
            }
        }
        Label {
            visible: recordings.count > 3
            text: qsTr("and %1 more").arg(recordings.count - 3)
            font.pixelSize: theme.small
            color: theme.muted
        }
    }
}
