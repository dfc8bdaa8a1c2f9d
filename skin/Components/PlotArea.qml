import QtQuick 2.15
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
    readonly property int plotCount: plots.count
    property string emptyText: live ? qsTr("Start the stream to see the sensors' signals.")
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

    // Draws a stored measurement; its samples are read from disk first.
    function showStored(measurementId, setupName, plotterType) {
        clear()
        area.measurementId = measurementId
        area.setupName = setupName
        area.plotterType = plotterType
        if (measurementId === "")
            return
        measurementController.loadMeasurementDataFromDisk(measurementId)
        plotController.setPlotterType(plotterType)
        plotController.setSetupName(setupName)
        plotController.createStaticPlotters(measurementId)
    }

    Connections {
        target: plotController
        enabled: area.live
        function onLivePlotterCreated(measurementId, serial) { area.add(measurementId, serial) }
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
        columns: plots.count > 1 && area.width > 900 ? 2 : 1
        rowSpacing: theme.gap
        columnSpacing: theme.gap

        Repeater {
            model: plots
            delegate: Rectangle {
                id: cell
                objectName: "plot_" + model.serial
                property QtObject plotter: null
                Layout.fillWidth: true
                Layout.fillHeight: true
                Layout.minimumHeight: 120
                color: theme.surface
                border.color: theme.border
                radius: theme.radius

                Label {
                    id: caption
                    x: theme.gap
                    y: 4
                    text: qsTr("Sensor %1").arg(model.serial.toUpperCase())
                    font.pixelSize: theme.small
                    color: theme.muted
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
                }
                Component.onDestruction: {
                    // The plot item outlives this cell; it must not keep
                    // following a cell that is gone.
                    if (plotter !== null && plotter.parent === slot) {
                        plotter.width = plotter.width
                        plotter.height = plotter.height
                        plotter.parent = null
                    }
                }
            }
        }
    }

    EmptyNote {
        anchors.centerIn: parent
        width: parent.width
        visible: plots.count === 0
        text: area.emptyText
    }
}
