import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// A screen's heading with a line of explanation beneath.
ColumnLayout {
    property string text: ""
    property string hint: ""
    spacing: 2
    Label {
        text: parent.text
        font.pixelSize: theme.title
        font.bold: true
        color: theme.text
    }
    Label {
        text: parent.hint
        visible: parent.hint !== ""
        color: theme.muted
        wrapMode: Text.WordWrap
        Layout.fillWidth: true
    }
}
