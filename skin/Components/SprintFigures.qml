import QtQuick 2.15
import KorvexSkin 1.0
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// A sprint's figures in three short lines, for its entry in a list: steps,
// the mean contact time of both feet and of each, the difference between
// the feet, the step rate and the fastest and slowest step. Nothing is
// shown (and nothing read) while measurementId is "".
ColumnLayout {
    id: figures
    objectName: "sprintFigures"
    property string measurementId: ""
    // The text colour: white on a highlighted row.
    property color color: Theme.muted
    // See MeasurementController::sprintSummary.
    property var summary: ({})
    readonly property bool known: summary.bothMs !== undefined
    spacing: 0
    visible: known

    function ms(value) {
        return Number(value).toLocaleString(Qt.locale(), "f", 0) + " ms"
    }

    // Asked for once the list's click has been handled and the plot has
    // started to read the data, which is then in memory.
    Timer {
        id: refresh
        interval: 60
        onTriggered: {
            var s = figures.measurementId === "" ? null : measurementController.sprintSummary(figures.measurementId)
            figures.summary = s ? s : ({})
        }
    }
    onMeasurementIdChanged: {
        summary = ({})
        if (measurementId !== "")
            refresh.restart()
    }

    Label {
        objectName: "sprintFiguresSteps"
        Layout.fillWidth: true
        wrapMode: Text.WordWrap
        font.pixelSize: Theme.small
        color: figures.color
        text: !figures.known ? ""
            : (figures.summary.steps === 1 ? qsTr("1 step") : qsTr("%1 steps").arg(figures.summary.steps))
              + (figures.summary.stepsPerSecond > 0
                 ? " · " + qsTr("%1 steps/s").arg(Number(figures.summary.stepsPerSecond).toLocaleString(Qt.locale(), "f", 2)) : "")
    }
    Label {
        objectName: "sprintFiguresMeans"
        Layout.fillWidth: true
        wrapMode: Text.WordWrap
        font.pixelSize: Theme.small
        color: figures.color
        text: !figures.known ? ""
            : qsTr("GCT %1").arg(figures.ms(figures.summary.bothMs))
              + (figures.summary.leftSteps > 0 && figures.summary.rightSteps > 0
                 ? " · " + qsTr("L %1 / R %2").arg(figures.ms(figures.summary.leftMs)).arg(figures.ms(figures.summary.rightMs))
                   + " · " + qsTr("%1 % apart").arg(Number(figures.summary.differencePercent).toLocaleString(Qt.locale(), "f", 1))
                 : "")
    }
    Label {
        objectName: "sprintFiguresExtremes"
        Layout.fillWidth: true
        wrapMode: Text.WordWrap
        font.pixelSize: Theme.small
        color: figures.color
        visible: figures.known && figures.summary.average !== true
        text: !figures.known ? ""
            : qsTr("Fastest %1 · slowest %2").arg(figures.ms(figures.summary.fastestMs)).arg(figures.ms(figures.summary.slowestMs))
              + " · " + qsTr("left foot %1").arg(String(figures.summary.leftSerial).toUpperCase())
    }
}
