import QtQuick 2.15
import KorvexSkin 1.0
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The navigation entries: the three fixed screens, then the chosen app's.
Rectangle {
    id: bar
    property string currentSource: ""
    signal selected(string source)

    implicitHeight: 44
    color: Theme.navBar

    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: Theme.gap * 2
        anchors.rightMargin: Theme.gap * 2
        spacing: Theme.gap

        Label {
            text: "Korvex"
            color: "white"
            font.pixelSize: Theme.large
            font.bold: true
            Layout.rightMargin: Theme.gap * 2
        }

        Repeater {
            model: navigationItems
            delegate: AbstractButton {
                id: entry
                objectName: "nav_" + DisplayName
                readonly property bool current: PageSource === bar.currentSource
                // Where the fixed screens end and the app's begin.
                Layout.leftMargin: index === 3 ? Theme.gap * 2 : 0
                implicitHeight: bar.height
                implicitWidth: caption.implicitWidth + Theme.gap * 3
                focusPolicy: Qt.StrongFocus
                Accessible.role: Accessible.PageTab
                Accessible.name: DisplayName
                ToolTip.visible: hovered && index < 9
                ToolTip.delay: 800
                ToolTip.text: qsTr("Ctrl+%1").arg(index + 1)
                onClicked: bar.selected(PageSource)
                Keys.onReturnPressed: bar.selected(PageSource)
                Keys.onEnterPressed: bar.selected(PageSource)
                contentItem: Label {
                    id: caption
                    text: DisplayName
                    color: entry.current ? "white" : Theme.navText
                    font.bold: entry.current
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                }
                background: Rectangle {
                    color: entry.hovered ? "#263242" : "transparent"
                    border.color: entry.visualFocus ? Theme.accent : "transparent"
                    Rectangle {
                        anchors.bottom: parent.bottom
                        width: parent.width
                        height: 3
                        color: Theme.accent
                        visible: entry.current
                    }
                }
            }
        }

        Item { Layout.fillWidth: true }

        Label {
            text: session.app === "" ? qsTr("No app chosen") : session.app
            color: Theme.navText
            elide: Text.ElideRight
            Layout.maximumWidth: 160
        }
    }
}
