import QtQuick 2.15
import QtQuick.Window 2.15

// The program's window. For now it names the program and the sensors it
// knows; the screens come with the skin proper.
Window {
    id: window
    objectName: "mainWindow"
    width: appWidth
    height: appHeight
    minimumWidth: 640
    minimumHeight: 480
    visible: true
    title: helper.versionCodeHostSoftware()
    color: "#f4f5f7"

    Column {
        anchors.fill: parent
        anchors.margins: 24
        spacing: 12

        Text {
            text: window.title
            font.pixelSize: 24
            color: "#1d2733"
        }
        Text {
            text: devManager.numDevConnected + " of " + devManager.numDevTotal + " sensors connected"
            font.pixelSize: 16
            color: "#3a4756"
        }
    }
}
