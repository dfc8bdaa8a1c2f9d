import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import KorvexSkin 1.0

// Record, upload, and free the sensors' memory.
Page {
    objectName: "recordScreen"
    background: null
    padding: Theme.gap * 2

    ColumnLayout {
        anchors.fill: parent
        spacing: Theme.gap
        ScreenTitle {
            text: qsTr("Record")
            hint: session.user === "" ? qsTr("No athlete is selected: choose one under Users so the recording carries the name.") : ""
            Layout.fillWidth: true
        }
        RecordPanel {
            Layout.fillWidth: true
            Layout.fillHeight: true
        }
    }
}
