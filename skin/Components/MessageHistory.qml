import QtQuick 2.15
import KorvexSkin 1.0
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// Every note the program showed in this run, newest first, with its time.
Dialog {
    id: dialog
    objectName: "messageHistory"
    title: qsTr("Messages")
    modal: true
    anchors.centerIn: Overlay.overlay
    width: Math.min(640, Overlay.overlay ? Overlay.overlay.width - 40 : 640)
    height: Math.min(480, Overlay.overlay ? Overlay.overlay.height - 40 : 480)
    standardButtons: Dialog.Close
    Component.onCompleted: standardButton(Dialog.Close).objectName = "closeHistory"

    ListView {
        id: list
        objectName: "historyList"
        anchors.fill: parent
        clip: true
        // Newest first: row 0 is the last note.
        model: session.history.count
        spacing: 2
        focus: true
        keyNavigationEnabled: true
        ScrollBar.vertical: ScrollBar { }
        delegate: RowLayout {
            id: row
            objectName: "historyEntry"
            readonly property var note: session.history.get(session.history.count - 1 - index)
            readonly property string message: note ? note.text : ""
            width: list.width - 12
            spacing: Theme.gap
            Accessible.role: Accessible.ListItem
            Accessible.name: (note ? note.time : "") + " " + message
            Rectangle {
                Layout.preferredWidth: 4
                Layout.fillHeight: true
                readonly property string kind: row.note ? row.note.kind : ""
                color: kind === "error" ? Theme.bad
                     : kind === "warning" ? Theme.warn
                     : kind === "good" ? Theme.good : Theme.muted
            }
            Label {
                text: row.note ? row.note.time : ""
                font.family: "DejaVu Sans Mono"
                font.pixelSize: Theme.small
                color: Theme.muted
                Layout.alignment: Qt.AlignTop
            }
            Label {
                text: row.message
                wrapMode: Text.Wrap
                Layout.fillWidth: true
            }
        }
        EmptyNote {
            anchors.centerIn: parent
            width: parent.width
            visible: list.count === 0
            text: qsTr("No messages yet.")
        }
    }
}
