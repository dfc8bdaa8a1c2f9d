import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import KorvexSkin 1.0

// The height of each jump over the recording.
Page {
    id: screen
    objectName: "squatJumpResultsScreen"
    background: null
    padding: theme.gap * 2

    ColumnLayout {
        anchors.fill: parent
        spacing: theme.gap
        ScreenTitle {
            text: qsTr("Squat jump results")
            hint: qsTr("Pick a recording to see the jump heights in centimetres.")
            Layout.fillWidth: true
        }
        GridLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            columns: screen.width > 760 ? 2 : 1
            MeasurementPicker {
                id: picker
                appFilter: "Squat Jump"
                Layout.preferredWidth: 280
                Layout.fillWidth: parent.columns === 1
                Layout.fillHeight: true
                Layout.maximumHeight: parent.columns === 1 ? 120 : 100000
                onPicked: plot.showStored(measurementId, setupName, 2)
            }
            PlotArea {
                id: plot
                Layout.fillWidth: true
                Layout.fillHeight: true
            }
        }
    }
}
