import QtQuick 2.15
import KorvexSkin 1.0
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The plots of one measurement, one per sensor. Live plots arrive as the
// sensors start to stream; stored ones are drawn from what is on disk.
Item {
    id: area
    objectName: "plotArea"
    property bool live: false
    // For stored measurements: what to show and how.
    property string measurementId: ""
    property string setupName: ""
    property int plotterType: 1
    // The live plots belong to the session, so they outlive this page.
    readonly property var shownPlots: live ? session.livePlots : plots
    readonly property int plotCount: shownPlots.count
    // The least a plot's cell is given; a page that scrolls gives the area
    // at least neededHeight, so that its plots stay readable.
    property int cellMinimumHeight: 120
    // The width the plots are laid out for. A page that scrolls sets it from
    // its own width, so that what it has to scroll never depends on the
    // layout that scrolling sizes.
    property real layoutWidth: width
    readonly property int columns: plotCount > 1 && layoutWidth > 900 ? 2 : 1
    readonly property int rows: Math.ceil(plotCount / columns)
    readonly property real neededHeight: rows > 0 ? rows * cellMinimumHeight + (rows - 1) * Theme.gap : 0
    // While a stored measurement is read from disk and drawn.
    readonly property bool loading: loadTimer.running
    property string emptyText: live ? (session.streaming ? qsTr("Waiting for the sensors' first samples...")
                                                         : qsTr("Start the live view to see the sensors' signals."))
                                     : qsTr("Choose a measurement to see its plot.")

    ListModel { id: plots }

    function clear() {
        plots.clear()
    }

    function add(measurementId, serial) {
        for (var i = 0; i < plots.count; ++i) {
            if (plots.get(i).measurementId === measurementId && plots.get(i).serial === serial)
                return
        }
        plots.append({ "measurementId": measurementId, "serial": serial })
    }

    // Draws a stored measurement; its samples are read from disk first,
    // after the busy indicator had a frame to show.
    function showStored(measurementId, setupName, plotterType) {
        clear()
        area.measurementId = measurementId
        area.setupName = setupName
        area.plotterType = plotterType
        loadTimer.stop()
        if (measurementId !== "")
            loadTimer.start()
    }

    Timer {
        id: loadTimer
        interval: 30
        onTriggered: {
            measurementController.loadMeasurementDataFromDisk(area.measurementId)
            plotController.setPlotterType(area.plotterType)
            plotController.setSetupName(area.setupName)
            plotController.createStaticPlotters(area.measurementId)
        }
    }

    Connections {
        target: plotController
        enabled: !area.live
        function onStaticPlotterCreated(measurementId, serial) {
            if (measurementId === area.measurementId)
                area.add(measurementId, serial)
        }
    }

    GridLayout {
        anchors.fill: parent
        columns: area.columns
        rowSpacing: Theme.gap
        columnSpacing: Theme.gap

        Repeater {
            model: area.shownPlots
            delegate: Rectangle {
                id: cell
                objectName: "plot_" + model.serial
                property QtObject plotter: null
                Layout.fillWidth: true
                Layout.fillHeight: true
                Layout.minimumHeight: area.cellMinimumHeight
                color: Theme.surface
                border.color: Theme.border
                radius: Theme.radius

                Label {
                    id: caption
                    x: Theme.gap
                    width: parent.width - Theme.gap * 2 - 90
                    elide: Text.ElideRight
                    y: 4
                    // Processor results are no sensor's.
                    readonly property bool fromSensor: {
                        devManager.numDevTotal
                        for (var i = 0; i < devModel.rowCount(); ++i) {
                            if (devModel.valueAt(i, "Name") === model.serial)
                                return true
                        }
                        return false
                    }
                    text: fromSensor ? qsTr("Sensor %1").arg(model.serial.toUpperCase()) : qsTr("Computed results")
                    font.pixelSize: Theme.small
                    color: Theme.muted
                }
                // Where a plot is low, its legend is folded until asked for.
                property bool legendChosen: false
                property bool legendWanted: true
                readonly property bool legendShown: legendChosen ? legendWanted : height >= 260
                ToolButton {
                    objectName: "legend_" + model.serial
                    anchors.right: parent.right
                    anchors.rightMargin: 4
                    y: 0
                    height: caption.height + 6
                    text: cell.legendShown ? qsTr("Hide legend") : qsTr("Legend")
                    font.pixelSize: Theme.small
                    Accessible.name: cell.legendShown ? qsTr("Hide the legend of sensor %1").arg(model.serial.toUpperCase())
                                                      : qsTr("Show the legend of sensor %1").arg(model.serial.toUpperCase())
                    onClicked: {
                        cell.legendWanted = !cell.legendShown
                        cell.legendChosen = true
                    }
                }
                Item {
                    id: slot
                    anchors.fill: parent
                    anchors.topMargin: caption.height + 6
                    anchors.margins: 2
                }
                Component.onCompleted: {
                    plotter = area.live ? plotController.getLivePlotter(model.measurementId, model.serial)
                                        : plotController.getStaticPlotter(model.measurementId, model.serial)
                    if (plotter === null)
                        return
                    plotter.parent = slot
                    plotter.x = 0
                    plotter.y = 0
                    plotter.width = Qt.binding(function() { return slot.width })
                    plotter.height = Qt.binding(function() { return slot.height })
                    plotter.visible = true
                    plotter.legendVisible = Qt.binding(function() { return cell.legendShown })
                }
                Component.onDestruction: {
                    // A live plot item outlives this cell (the session keeps
                    // it); it must not keep following a cell that is gone.
                    if (plotter !== null && plotter.parent === slot) {
                        plotter.width = plotter.width
                        plotter.height = plotter.height
                        plotter.legendVisible = plotter.legendVisible
                        plotter.parent = null
                    }
                    // A stored measurement's plot is made again when it is
                    // shown again; until then it would only hold memory.
                    // (At the end of the program the session may go first.)
                    if (!area.live && session && plotController
                            && !session.isLivePlot(model.measurementId, model.serial))
                        plotController.releasePlotter(model.measurementId, model.serial)
                }
            }
        }
    }

    EmptyNote {
        anchors.centerIn: parent
        width: parent.width
        visible: area.plotCount === 0 && !area.loading
        text: area.emptyText
    }

    BusyIndicator {
        objectName: "plotLoading"
        anchors.centerIn: parent
        running: area.loading
        visible: running
    }
}
