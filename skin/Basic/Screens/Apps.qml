import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import KorvexSkin 1.0

// The tests this computer knows. Choosing one adds its screens to the top bar.
Page {
    id: screen
    objectName: "appsScreen"
    background: null
    padding: Theme.gap * 2

    ColumnLayout {
        anchors.fill: parent
        spacing: Theme.gap

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
                width: grid.cellWidth - Theme.gap
                height: grid.cellHeight - Theme.gap
                readonly property bool current: DisplayName === session.app
                focusPolicy: Qt.StrongFocus
                Accessible.role: Accessible.Button
                Accessible.name: qsTr("Choose the app %1").arg(DisplayName)
                onClicked: session.selectApp(DisplayName)
                Keys.onReturnPressed: session.selectApp(DisplayName)
                background: Rectangle {
                    radius: Theme.radius
                    color: tile.current ? Theme.accentSoft : tile.hovered ? Theme.surfaceAlt : Theme.surface
                    border.color: tile.current || tile.visualFocus ? Theme.accent : Theme.border
                    border.width: tile.current || tile.visualFocus ? 2 : 1
                }
                contentItem: ColumnLayout {
                    spacing: Theme.gap
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
                        font.pixelSize: Theme.large
                        font.bold: true
                    }
                    Label {
                        Layout.alignment: Qt.AlignHCenter
                        text: tile.current ? qsTr("Chosen") : qsTr("Choose")
                        color: tile.current ? Theme.accent : Theme.muted
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
