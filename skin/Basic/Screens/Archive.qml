import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import KorvexSkin 1.0

// Everything recorded, uploaded, averaged or imported on this computer.
Page {
    id: screen
    objectName: "archiveScreen"
    background: null
    padding: Theme.gap * 2

    function plotSelected() {
        plot.showStored(picker.selectedId, picker.selectedSetup, session.plotterTypeFor(picker.selectedApp))
    }

    // Long work runs after the busy indicator had a frame to show.
    property string busyText: ""
    property var pending: null
    function runBusy(text, work) {
        busyText = text
        pending = work
        busyTimer.start()
    }
    Timer {
        id: busyTimer
        interval: 30
        onTriggered: {
            var work = screen.pending
            screen.pending = null
            try {
                work()
            } finally {
                screen.busyText = ""
            }
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: Theme.gap

        ScreenTitle {
            text: qsTr("Archive")
            hint: qsTr("Measurements on this computer, newest first. Pick one to plot, export or delete it.")
            Layout.fillWidth: true
        }

        Flow {
            Layout.fillWidth: true
            spacing: Theme.gap
            Button {
                objectName: "exportMeasurement"
                text: qsTr("Export CSV + MAT")
                enabled: picker.selectedId !== "" && screen.busyText === ""
                onClicked: {
                    var id = picker.selectedId
                    screen.runBusy(qsTr("Exporting..."), function() { session.exportMeasurement(id) })
                }
            }
            Button {
                objectName: "deleteMeasurement"
                text: qsTr("Delete...")
                enabled: picker.selectedId !== "" && screen.busyText === ""
                onClicked: deleteDialog.open()
            }
            Button {
                objectName: "gctAverageOne"
                text: qsTr("GCT filter")
                enabled: picker.selectedApp === "Sprint" && screen.busyText === ""
                ToolTip.visible: hovered
                ToolTip.text: qsTr("Filters the ground contact times of this sprint and adds the averages as a new measurement.")
                onClicked: {
                    var id = picker.selectedId
                    screen.runBusy(qsTr("Filtering..."), function() {
                        var made = processorController.filterSprint(id)
                        session.toast(made !== "" ? qsTr("GCT filter done: the result is measurement %1.").arg(made.toUpperCase())
                                                  : qsTr("This measurement holds no ground contact times to filter."),
                                      made !== "" ? "good" : "warning")
                    })
                }
            }
            Button {
                objectName: "csvImport"
                text: qsTr("Import CSV")
                enabled: screen.busyText === ""
                ToolTip.visible: hovered
                ToolTip.text: qsTr("Imports the CSV files in %1").arg(helper.offlineDataPath())
                onClicked: screen.runBusy(qsTr("Importing CSV files..."), function() {
                    var before = measurementsModel.rowCount()
                    processorController.processMeasurements("2")
                    var made = measurementsModel.rowCount() - before
                    session.toast(made > 0 ? (made === 1 ? qsTr("Imported 1 CSV file.") : qsTr("Imported %1 CSV files.").arg(made))
                                           : qsTr("No new CSV files found in %1").arg(helper.offlineDataPath()),
                                  made > 0 ? "good" : "warning")
                })
            }
            BusyIndicator {
                objectName: "archiveBusy"
                running: screen.busyText !== ""
                visible: running
                implicitHeight: 32
                implicitWidth: 32
            }
            Label {
                visible: screen.busyText !== ""
                text: screen.busyText
                color: Theme.muted
                height: 32
                verticalAlignment: Text.AlignVCenter
            }
        }

        // On a low window the list and the plots scroll rather than squeeze
        // the plots to a few lines each.
        Flickable {
            id: scroller
            objectName: "archiveScroll"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            boundsBehavior: Flickable.StopAtBounds
            contentWidth: width
            // Reckoned from the parts rather than read from the layout, whose
            // size this sets.
            contentHeight: Math.max(height, body.columns === 1 ? 150 + body.rowSpacing + plot.neededHeight
                                                               : plot.neededHeight)
            // Shown while there is more to scroll to, not only on the move.
            ScrollBar.vertical: ScrollBar {
                policy: ScrollBar.AlwaysOn
                visible: scroller.contentHeight > scroller.height + 1
            }
            GridLayout {
                id: body
                // The scroll bar stands over the right edge: a width that
                // made room for it would change what there is to scroll.
                width: scroller.width
                height: scroller.contentHeight
                columns: screen.width > 760 ? 2 : 1
                columnSpacing: Theme.gap
                rowSpacing: Theme.gap

                MeasurementPicker {
                    id: picker
                    sprintFigures: true
                    Layout.fillWidth: parent.columns === 1
                    Layout.preferredWidth: 300
                    Layout.fillHeight: true
                    // Stacked above the plot, the list keeps room for a few rows.
                    Layout.minimumHeight: parent.columns === 1 ? 150 : 0
                    Layout.maximumHeight: parent.columns === 1 ? 150 : 100000
                    onPicked: screen.plotSelected()
                    onSelectedIdChanged: if (selectedId === "") plot.showStored("", "", 1)
                }

                PlotArea {
                    id: plot
                    cellMinimumHeight: 210
                    layoutWidth: body.width - (body.columns === 2 ? 300 + body.columnSpacing : 0)
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    Layout.minimumHeight: neededHeight
                }
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
            var removed = false
            // Looked up again: the list may have changed since the click.
            for (var row = 0; row < measurementsModel.rowCount(); ++row) {
                if (measurementsModel.valueAt(row, "MeasurementID") === id) {
                    removed = measurementsModel.removeRows(row, 1)
                    break
                }
            }
            session.toast(removed ? qsTr("Measurement %1 deleted.").arg(id.toUpperCase())
                                  : qsTr("Measurement %1 could not be deleted.").arg(id.toUpperCase()),
                          removed ? "info" : "error")
        }
    }
}
