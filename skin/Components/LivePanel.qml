import QtQuick 2.15
import KorvexSkin 1.0
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// Streams every connected sensor and plots what arrives, one plot per sensor.
ColumnLayout {
    id: panel
    spacing: Theme.gap

    RowLayout {
        Layout.fillWidth: true
        Button {
            objectName: "startLive"
            text: qsTr("Start live view")
            highlighted: true
            enabled: !session.streaming && devManager.numDevConnected > 0 && session.streamBlocked === ""
            onClicked: session.startStream()
        }
        Button {
            objectName: "stopLive"
            text: qsTr("Stop")
            enabled: session.streaming
            onClicked: session.stopStream()
        }
        Label {
            Layout.fillWidth: true
            color: Theme.muted
            wrapMode: Text.WordWrap
            objectName: "liveState"
            text: devManager.numDevConnected === 0 ? qsTr("Connect a sensor to see its signals.")
                : session.streaming ? session.counted(devManager.numDevConnected, qsTr("Streaming from %1 sensor."), qsTr("Streaming from %1 sensors."))
                : session.streamBlocked !== "" ? session.streamBlocked
                : qsTr("Set the sensors up first; the live view shows the channels of the setup.")
        }
    }

    LiveDigits {
        Layout.fillWidth: true
    }

    PlotArea {
        id: plots
        live: true
        Layout.fillWidth: true
        Layout.fillHeight: true
    }
}
