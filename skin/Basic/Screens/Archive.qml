import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../../Components"

// Everything recorded, uploaded, averaged or imported on this computer.
Page {
    id: screen
    objectName: "archiveScreen"
    background: null
    padding: theme.gap * 2

    function plotSelected() {
        plot.showStored(picker.selectedId, picker.selectedSetup, session.plotterTypeFor(picker.selectedApp))
    }

    // Runs a processor and counts what it made: processors add measurements.
    function runProcessor(run) {
        var before = measurementsModel.rowCount()
        run()
        return measurementsModel.rowCount() - before
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: theme.gap

        ScreenTitle {
            text: qsTr("Archive")
            hint: qsTr("Measurements on this computer, newest first. Pick one to plot, export or delete it.")
            Layout.fillWidth: true
        }

        Flow {
            Layout.fillWidth: true
            spacing: theme.gap
            Button {
                objectName: "exportMeasurement"
                text: qsTr("Export CSV + MAT")
                enabled: picker.selectedId !== ""
                onClicked: session.exportMeasurement(picker.selectedId)
            }
            Button {
                objectName: "deleteMeasurement"
                text: qsTr("Delete...")
                enabled: picker.selectedId !== ""
                onClicked: deleteDialog.open()
            }
            Button {
                objectName: "gctAverageOne"
                text: qsTr("GCT filter")
                enabled: picker.selectedApp === "Sprint"
                ToolTip.visible: hovered
                ToolTip.text: qsTr("Filters the ground contact times of this sprint and adds the averages as a new measurement.")
                onClicked: {
                    var made = screen.runProcessor(function() { processorController.processMeasurement(picker.selectedId, "1") })
                    session.toast(made > 0 ? qsTr("GCT filter done: the result is the newest measurement.")
                                           : qsTr("This measurement holds no ground contact times to filter."),
                                  made > 0 ? "good" : "warning")
                }
            }
            Button {
                objectName: "csvImport"
                text: qsTr("Import CSV")
                onClicked: {
                    var made = screen.runProcessor(function() { processorController.processMeasurements("2") })
                    session.toast(made > 0 ? (made === 1 ? qsTr("Imported 1 CSV file.") : qsTr("Imported %1 CSV files.").arg(made))
                                           : qsTr("No CSV files found in %1").arg(helper.offlineDataPath()),
                                  made > 0 ? "good" : "warning")
                }
            }
        }

        GridLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            columns: screen.width > 760 ? 2 : 1
            columnSpacing: theme.gap
            rowSpacing: theme.gap

            MeasurementPicker {
                id: picker
                Layout.fillWidth: parent.columns === 1
                Layout.preferredWidth: 300
                Layout.fillHeight: true
                Layout.preferredHeight: 160
                Layout.maximumHeight: parent.columns === 1 ? 120 : 100000
                onPicked: screen.plotSelected()
                onSelectedIdChanged: if (selectedId === "") plot.showStored("", "", 1)
            }

            PlotArea {
                id: plot
                Layout.fillWidth: true
                Layout.fillHeight: true
            }
        }
    }

    ConfirmDialog {
        id: deleteDialog
        objectName: "deleteDialog"
        title: qsTr("Delete this measurement?")
        text: qsTr("The measurement of %1 and all its data are deleted from this computer. Exported files stay where they are.")
              .arg(picker.selectedId.toUpperCase())
        onConfirmed: {
            var id = picker.selectedId
            // Looked up again: the list may have changed since the click.
            for (var row = 0; row < measurementsModel.rowCount(); ++row) {
                if (measurementsModel.data(measurementsModel.index(row, 0), 257) === id) {
                    measurementsModel.removeRows(row, 1)
                    break
                }
            }
            session.toast(qsTr("Measurement %1 deleted.").arg(id.toUpperCase()), "info")
        }
    }
}
