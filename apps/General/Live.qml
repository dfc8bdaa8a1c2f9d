import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import KorvexSkin 1.0

// Check that every sensor sits right before recording.
Page {
    objectName: "liveScreen"
    background: null
    padding: Theme.gap * 2

    ColumnLayout {
        anchors.fill: parent
        spacing: Theme.gap
        ScreenTitle {
            text: qsTr("Live")
            Layout.fillWidth: true
        }
        LivePanel {
            Layout.fillWidth: true
            Layout.fillHeight: true
        }
    }
}
