import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import KorvexSkin 1.0

// Ground contact times as bars, one per step, and the average over a series.
Page {
    id: screen
    objectName: "sprintResultsScreen"
    background: null
    padding: theme.gap * 2

    ColumnLayout {
        anchors.fill: parent
        spacing: theme.gap
        ScreenTitle {
            text: qsTr("Sprint results")
            hint: qsTr("Pick a sprint to see its ground contact times. Average a series to compare runs.")
            Layout.fillWidth: true
        }
        RowLayout {
            Layout.fillWidth: true
            Label { text: qsTr("Feedback runs") }
            TextField {
                id: feedback
                objectName: "feedbackRuns"
                placeholderText: qsTr("e.g. 2-4-6")
                validator: RegularExpressionValidator { regularExpression: /^[0-9]*(-[0-9]*)*$/ }
                Layout.preferredWidth: 120
            }
            Button {
                objectName: "gctAverage"
                text: qsTr("Average all sprints")
                highlighted: true
                onClicked: {
                    var before = measurementsModel.rowCount()
                    processorController.setProcessorAttributes(feedback.text)
                    processorController.processMeasurements("1")
                    var made = measurementsModel.rowCount() - before
                    session.toast(made > 0 ? qsTr("The average is the newest sprint measurement.")
                                           : qsTr("There is no sprint with ground contact times to average yet."),
                                  made > 0 ? "good" : "warning")
                }
            }
        }
        GridLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            columns: screen.width > 760 ? 2 : 1
            MeasurementPicker {
                id: picker
                appFilter: "Sprint"
                Layout.preferredWidth: 280
                Layout.fillWidth: parent.columns === 1
                Layout.fillHeight: true
                Layout.maximumHeight: parent.columns === 1 ? 120 : 100000
                onPicked: plot.showStored(measurementId, setupName, 3)
            }
            PlotArea {
                id: plot
                Layout.fillWidth: true
                Layout.fillHeight: true
            }
        }
    }
}
