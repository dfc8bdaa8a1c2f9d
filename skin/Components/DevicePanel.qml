import QtQuick 2.15
import KorvexSkin 1.0
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// Every sensor the program knows, connected ones first in the registry's
// order, with what is on it and a way to find it on the athlete.
Rectangle {
    id: panel
    objectName: "devicePanel"
    color: Theme.surfaceAlt
    border.color: Theme.border

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: Theme.gap
        spacing: Theme.gap

        RowLayout {
            Layout.fillWidth: true
            Label {
                text: qsTr("Sensors")
                font.pixelSize: Theme.large
                font.bold: true
            }
            Item { Layout.fillWidth: true }
            Label {
                objectName: "connectedCount"
                text: qsTr("%1 of %2 connected").arg(devManager.numDevConnected).arg(devManager.numDevTotal)
                color: Theme.muted
                font.pixelSize: Theme.small
            }
        }

        ListView {
            id: list
            objectName: "deviceList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            spacing: Theme.gap
            model: devModel
            ScrollBar.vertical: ScrollBar { }
            delegate: DeviceCard {
                width: list.width - (list.ScrollBar.vertical.visible ? 10 : 0)
                serial: Name
                online: IsOnline
                usb: HasUsb
                bluetooth: HasBluetooth
                topState: TopState
                firmware: Firmware
            }
            EmptyNote {
                anchors.fill: parent
                visible: list.count === 0
                text: qsTr("No sensor yet. Plug a sensor in by USB, or scan for Bluetooth sensors.")
            }
        }

        // Discovery of Bluetooth sensors; what it found is said when it ends.
        Button {
            objectName: "btScanButton"
            Layout.fillWidth: true
            text: session.bluetoothScanning ? qsTr("Scanning for Bluetooth sensors...") : qsTr("Scan for Bluetooth sensors")
            enabled: !session.bluetoothScanning
            onClicked: session.scanBluetooth()
            BusyIndicator {
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                height: parent.height - 8
                width: height
                running: session.bluetoothScanning
                visible: running
            }
        }
    }
}
