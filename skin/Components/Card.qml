import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// A titled white panel; children go into its column.
Pane {
    id: card
    property string title: ""
    default property alias content: column.data

    padding: theme.gap * 1.5
    background: Rectangle {
        color: theme.surface
        border.color: theme.border
        radius: theme.radius
    }

    ColumnLayout {
        id: column
        anchors.fill: parent
        spacing: theme.gap

        Label {
            text: card.title
            visible: card.title !== ""
            font.pixelSize: theme.large
            font.bold: true
            color: theme.text
        }
    }
}
