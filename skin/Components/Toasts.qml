import QtQuick 2.15
import KorvexSkin 1.0
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The newest notes, in a strip above the status line so that they never
// cover a control: information for a few seconds, errors until they are
// clicked away or a while longer. Every note also stays in the history.
ColumnLayout {
    id: toasts
    objectName: "toasts"
    spacing: 0
    property int shown: 2

    ListModel { id: messages }

    Connections {
        target: session
        function onNoteShown(text, kind) {
            // The same text twice in a row is said once.
            if (messages.count > 0 && messages.get(messages.count - 1).text === text)
                return
            messages.append({ "text": text, "kind": kind })
            while (messages.count > toasts.shown)
                messages.remove(0)
        }
    }

    Repeater {
        model: messages
        delegate: Rectangle {
            id: toast
            objectName: "toast"
            property string message: model.text
            readonly property color tone: model.kind === "error" ? Theme.bad
                                        : model.kind === "warning" ? Theme.warn
                                        : model.kind === "good" ? Theme.good : "#2b3645"
            Layout.fillWidth: true
            implicitHeight: Math.max(label.implicitHeight, close.implicitHeight) + Theme.gap
            color: Qt.lighter(tone, 1.0)
            Accessible.role: Accessible.AlertMessage
            Accessible.name: message
            RowLayout {
                anchors.fill: parent
                anchors.leftMargin: Theme.gap * 2
                anchors.rightMargin: Theme.gap
                spacing: Theme.gap
                Label {
                    id: label
                    text: toast.message
                    color: "white"
                    // Paths have no spaces to break at.
                    wrapMode: Text.Wrap
                    maximumLineCount: 3
                    elide: Text.ElideRight
                    Layout.fillWidth: true
                }
                ToolButton {
                    id: close
                    text: "\u2715"
                    palette.buttonText: "white"
                    Accessible.name: qsTr("Dismiss the note")
                    onClicked: messages.remove(index)
                }
            }
            Timer {
                interval: model.kind === "error" ? 12000 : model.kind === "warning" ? 8000 : 3500
                running: true
                onTriggered: messages.remove(index)
            }
        }
    }
}
