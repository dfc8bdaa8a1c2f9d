import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// Every sensor the program knows, connected ones first in the registry's
// order, with what is on it and a way to find it on the athlete.
Rectangle {
    id: panel
    objectName: "devicePanel"
    color: theme.surfaceAlt
    border.color: theme.border

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: theme.gap
        spacing: theme.gap

        RowLayout {
            Layout.fillWidth: true
            Label {
                text: qsTr("Sensors")
                font.pixelSize: theme.large
                font.bold: true
            }
            Item { Layout.fillWidth: true }
            Label {
                objectName: "connectedCount"
                text: qsTr("%1 of %2 connected").arg(devManager.numDevConnected).arg(devManager.numDevTotal)
                color: theme.muted
                font.pixelSize: theme.small
            }
        }

        ListView {
            id: list
            objectName: "deviceList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            spacing: theme.gap
            model: devModel
            ScrollBar.vertical: ScrollBar { }
            delegate: DeviceCard {
                width: list.width - (list.ScrollBar.vertical.visible ? 10 : 0)
                serial: Name
                online: Online === "Online"
                usb: UsbConnected === "connected"
                bluetooth: BtConnected === "connected"
                state: TopState
                firmware: Firmware
            }
            EmptyNote {
                anchors.fill: parent
                visible: list.count === 0
                text: qsTr("No sensor yet. Plug a sensor in by USB, or scan for Bluetooth sensors.")
            }
        }

        // The link manager says "Scanning" while it looks for sensors.
        Button {
            objectName: "btScanButton"
            readonly property bool scanning: interfaceManager.btScanStatus !== "Scan"
            Layout.fillWidth: true
            text: scanning ? qsTr("Scanning for Bluetooth sensors...") : qsTr("Scan for Bluetooth sensors")
            enabled: !scanning
            onClicked: interfaceManager.startScan()
        }
    }
}
