import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import KorvexSkin 1.0

// Free recording: the user picks channels, rate and colour.
Page {
    objectName: "generalSetupScreen"
    background: null
    padding: Theme.gap * 2

    ColumnLayout {
        anchors.fill: parent
        spacing: Theme.gap
        ScreenTitle {
            text: qsTr("Setup")
            hint: qsTr("Choose what the sensors record. The setup is stored in each sensor.")
            Layout.fillWidth: true
        }
        ScrollView {
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            contentWidth: availableWidth
            SetupPanel {
                width: parent.width
            }
        }
    }
}
