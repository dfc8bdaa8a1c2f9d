import QtQuick 2.15
import QtQuick.Controls 2.15

// Short messages that fade by themselves: information for a few seconds,
// errors until they are clicked away or a while longer.
Column {
    id: toasts
    objectName: "toasts"
    spacing: theme.gap
    property int shown: 3

    ListModel { id: messages }

    Connections {
        target: session
        function onToast(text, kind) {
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
            width: toasts.width
            height: label.implicitHeight + theme.gap * 2
            radius: theme.radius
            color: model.kind === "error" ? theme.bad
                 : model.kind === "warning" ? theme.warn
                 : model.kind === "good" ? theme.good : "#2b3645"
            opacity: 0.95
            Label {
                id: label
                anchors.fill: parent
                anchors.margins: theme.gap
                text: toast.message
                color: "white"
                // Paths have no spaces to break at.
                wrapMode: Text.Wrap
            }
            MouseArea {
                anchors.fill: parent
                onClicked: messages.remove(index)
            }
            Timer {
                interval: model.kind === "error" ? 12000 : model.kind === "warning" ? 8000 : 3500
                running: true
                onTriggered: messages.remove(index)
            }
        }
    }
}
