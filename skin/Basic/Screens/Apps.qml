import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../../Components"

// The tests this computer knows. Choosing one adds its screens to the top bar.
Page {
    id: screen
    objectName: "appsScreen"
    background: null
    padding: theme.gap * 2

    ColumnLayout {
        anchors.fill: parent
        spacing: theme.gap

        ScreenTitle {
            text: qsTr("Apps")
            hint: qsTr("Choose the test you want to run. Its screens appear in the top bar.")
            Layout.fillWidth: true
        }

        GridView {
            id: grid
            objectName: "appGrid"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            cellWidth: 180
            cellHeight: 170
            model: appModel
            delegate: AbstractButton {
                id: tile
                objectName: "app_" + DisplayName
                width: grid.cellWidth - theme.gap
                height: grid.cellHeight - theme.gap
                readonly property bool current: DisplayName === session.app
                onClicked: session.selectApp(DisplayName)
                background: Rectangle {
                    radius: theme.radius
                    color: tile.current ? theme.accentSoft : tile.hovered ? theme.surfaceAlt : theme.surface
                    border.color: tile.current ? theme.accent : theme.border
                    border.width: tile.current ? 2 : 1
                }
                contentItem: ColumnLayout {
                    spacing: theme.gap
                    Image {
                        Layout.alignment: Qt.AlignHCenter
                        Layout.preferredWidth: 64
                        Layout.preferredHeight: 64
                        sourceSize: Qt.size(64, 64)
                        // Three small icons; kept out of the process-wide
                        // image cache, which lives until the very end.
                        cache: false
                        source: IconPath === "" ? "" : "file://" + BasePath + "/" + IconPath
                        fillMode: Image.PreserveAspectFit
                    }
                    Label {
                        Layout.alignment: Qt.AlignHCenter
                        text: DisplayName
                        font.pixelSize: theme.large
                        font.bold: true
                    }
                    Label {
                        Layout.alignment: Qt.AlignHCenter
                        text: tile.current ? qsTr("Chosen") : qsTr("Choose")
                        color: tile.current ? theme.accent : theme.muted
                    }
                }
            }
            EmptyNote {
                anchors.centerIn: parent
                width: parent.width
                visible: grid.count === 0
                text: qsTr("No apps are installed.")
            }
        }
    }
}
