import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// Streams every connected sensor and plots what arrives, one plot per sensor.
ColumnLayout {
    id: panel
    spacing: theme.gap

    RowLayout {
        Layout.fillWidth: true
        Button {
            objectName: "startLive"
            text: qsTr("Start live view")
            highlighted: true
            enabled: !session.streaming && devManager.numDevConnected > 0
            onClicked: {
                plots.clear()
                session.startStream()
            }
        }
        Button {
            objectName: "stopLive"
            text: qsTr("Stop")
            enabled: session.streaming
            onClicked: session.stopStream()
        }
        Label {
            Layout.fillWidth: true
            color: theme.muted
            wrapMode: Text.WordWrap
            text: devManager.numDevConnected === 0 ? qsTr("Connect a sensor to see its signals.")
                : session.streaming ? qsTr("Streaming from %1 sensor(s).").arg(devManager.numDevConnected)
                : qsTr("Set the sensors up first; the live view shows the channels of the setup.")
        }
    }

    PlotArea {
        id: plots
        live: true
        Layout.fillWidth: true
        Layout.fillHeight: true
    }
}
