import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import KorvexSkin 1.0

// The height of each jump over the recording.
Page {
    id: screen
    objectName: "squatJumpResultsScreen"
    background: null
    padding: Theme.gap * 2

    ColumnLayout {
        anchors.fill: parent
        spacing: Theme.gap
        ScreenTitle {
            text: qsTr("Squat jump results")
            hint: qsTr("Pick a recording to see the height of every jump in centimetres.")
            Layout.fillWidth: true
        }
        GridLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            columns: screen.width > 760 ? 2 : 1
            MeasurementPicker {
                id: picker
                appFilter: "Squat Jump"
                liveViews: false
                Layout.preferredWidth: 280
                Layout.fillWidth: parent.columns === 1
                Layout.fillHeight: true
                // Stacked above the plot, the list keeps room for a few rows.
                Layout.minimumHeight: parent.columns === 1 ? 150 : 0
                Layout.maximumHeight: parent.columns === 1 ? 150 : 100000
                onPicked: {
                    plot.showStored(measurementId, setupName, 2)
                    jumps.measurementId = measurementId
                }
                onSelectedIdChanged: if (selectedId === "") jumps.measurementId = ""
            }
            RowLayout {
                Layout.fillWidth: true
                Layout.fillHeight: true
                spacing: Theme.gap
                PlotArea {
                    id: plot
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                }
                JumpTable {
                    id: jumps
                    Layout.fillHeight: true
                    Layout.preferredWidth: 200
                }
            }
        }
    }
}
