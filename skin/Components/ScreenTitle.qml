import QtQuick 2.15
import KorvexSkin 1.0
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// A screen's heading with a line of explanation beneath.
ColumnLayout {
    property string text: ""
    property string hint: ""
    spacing: 2
    Label {
        text: parent.text
        font.pixelSize: Theme.title
        font.bold: true
        color: Theme.text
    }
    Label {
        text: parent.hint
        visible: parent.hint !== ""
        color: Theme.muted
        wrapMode: Text.WordWrap
        Layout.fillWidth: true
    }
}
