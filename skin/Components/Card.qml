import QtQuick 2.15
import KorvexSkin 1.0
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// A titled white panel; children go into its column.
Pane {
    id: card
    property string title: ""
    default property alias content: column.data

    padding: Theme.gap * 1.5
    background: Rectangle {
        color: Theme.surface
        border.color: Theme.border
        radius: Theme.radius
    }

    ColumnLayout {
        id: column
        anchors.fill: parent
        spacing: Theme.gap

        Label {
            text: card.title
            visible: card.title !== ""
            font.pixelSize: Theme.large
            font.bold: true
            color: Theme.text
        }
    }
}
