import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The navigation entries: the three fixed screens, then the chosen app's.
Rectangle {
    id: bar
    property string currentSource: ""
    signal selected(string source)

    implicitHeight: 44
    color: theme.navBar

    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: theme.gap * 2
        anchors.rightMargin: theme.gap * 2
        spacing: theme.gap

        Label {
            text: "Korvex"
            color: "white"
            font.pixelSize: theme.large
            font.bold: true
            Layout.rightMargin: theme.gap * 2
        }

        Repeater {
            model: navigationItems
            delegate: AbstractButton {
                id: entry
                objectName: "nav_" + DisplayName
                readonly property bool current: PageSource === bar.currentSource
                // Where the fixed screens end and the app's begin.
                Layout.leftMargin: index === 3 ? theme.gap * 2 : 0
                implicitHeight: bar.height
                implicitWidth: caption.implicitWidth + theme.gap * 3
                onClicked: bar.selected(PageSource)
                contentItem: Label {
                    id: caption
                    text: DisplayName
                    color: entry.current ? "white" : theme.navText
                    font.bold: entry.current
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                }
                background: Rectangle {
                    color: entry.hovered ? "#263242" : "transparent"
                    Rectangle {
                        anchors.bottom: parent.bottom
                        width: parent.width
                        height: 3
                        color: theme.accent
                        visible: entry.current
                    }
                }
            }
        }

        Item { Layout.fillWidth: true }

        Label {
            text: session.app === "" ? qsTr("No app chosen") : session.app
            color: theme.navText
            elide: Text.ElideRight
            Layout.maximumWidth: 160
        }
    }
}
