import QtQuick 2.15
import KorvexSkin 1.0
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// What a sprint or an average of sprints computed: the mean contact time of
// each foot and of both, the difference between the feet, and what went in;
// for a sprint also the step rate and its fastest and slowest step.
Rectangle {
    id: table
    objectName: "sprintSummary"
    property string measurementId: ""
    // See MeasurementController::sprintSummary.
    property var summary: ({})
    readonly property bool known: summary.bothMs !== undefined

    color: Theme.surface
    border.color: Theme.border
    radius: Theme.radius
    implicitWidth: 240
    implicitHeight: column.implicitHeight + Theme.gap * 2

    function ms(value) {
        return Number(value).toLocaleString(Qt.locale(), "f", 1) + " ms"
    }
    function foot(name) {
        return name === "right" ? qsTr("right") : qsTr("left")
    }
    readonly property bool single: known && summary.average !== true

    function refresh() {
        var s = measurementId === "" ? null : measurementController.sprintSummary(measurementId)
        summary = s ? s : ({})
    }
    onMeasurementIdChanged: refresh()

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: Theme.gap
        spacing: 4

        Label {
            objectName: "sprintSummaryTitle"
            text: !table.known || table.summary.average !== true ? qsTr("Ground contact time")
                : table.summary.sprints === 1 ? qsTr("Average of 1 sprint")
                : qsTr("Average of %1 sprints").arg(table.summary.sprints)
            font.bold: true
            font.pixelSize: Theme.large
        }
        GridLayout {
            visible: table.known
            columns: 3
            columnSpacing: Theme.gap
            rowSpacing: 2
            Label { text: "" }
            Label { text: qsTr("Mean"); color: Theme.muted }
            Label { text: qsTr("Steps"); color: Theme.muted }

            Label {
                text: qsTr("Left (%1)").arg(String(table.summary.leftSerial || "–").toUpperCase())
                ToolTip.visible: leftHover.hovered
                ToolTip.text: qsTr("The sensor with the lower serial is the left foot.")
                HoverHandler { id: leftHover }
            }
            Label { objectName: "sprintLeft"; text: table.known && table.summary.leftSteps > 0 ? table.ms(table.summary.leftMs) : "–" }
            Label { text: table.known ? String(table.summary.leftSteps) : "" }

            Label { text: qsTr("Right (%1)").arg(String(table.summary.rightSerial || "–").toUpperCase()) }
            Label { objectName: "sprintRight"; text: table.known && table.summary.rightSteps > 0 ? table.ms(table.summary.rightMs) : "–" }
            Label { text: table.known ? String(table.summary.rightSteps) : "" }

            Label { text: qsTr("Both feet"); font.bold: true }
            Label { objectName: "sprintBoth"; text: table.known ? table.ms(table.summary.bothMs) : ""; font.bold: true }
            Label { text: table.known ? String(table.summary.leftSteps + table.summary.rightSteps) : "" }
        }
        GridLayout {
            visible: table.known
            columns: 2
            columnSpacing: Theme.gap
            rowSpacing: 2
            Label {
                text: qsTr("Left/right difference")
                color: Theme.muted
                visible: sprintDifference.visible
            }
            Label {
                id: sprintDifference
                objectName: "sprintDifference"
                visible: table.known && table.summary.leftSteps > 0 && table.summary.rightSteps > 0
                text: Number(table.summary.differencePercent || 0).toLocaleString(Qt.locale(), "f", 1) + " %"
                font.bold: true
            }
            Label { text: qsTr("Step rate"); color: Theme.muted; visible: table.single }
            Label {
                objectName: "sprintStepRate"
                visible: table.single
                text: table.summary.stepsPerSecond > 0
                      ? qsTr("%1 steps/s").arg(Number(table.summary.stepsPerSecond).toLocaleString(Qt.locale(), "f", 2))
                      : "–"
                ToolTip.visible: rateHover.hovered
                ToolTip.text: qsTr("Steps of both feet per second, from the first step to the last.")
                HoverHandler { id: rateHover }
            }
            Label { text: qsTr("Fastest step"); color: Theme.muted; visible: table.single }
            Label {
                objectName: "sprintFastest"
                visible: table.single
                text: table.ms(table.summary.fastestMs) + " (" + table.foot(table.summary.fastestFoot) + ")"
            }
            Label { text: qsTr("Slowest step"); color: Theme.muted; visible: table.single }
            Label {
                objectName: "sprintSlowest"
                visible: table.single
                text: table.ms(table.summary.slowestMs) + " (" + table.foot(table.summary.slowestFoot) + ")"
            }
        }
        Label {
            objectName: "sprintLeftSensor"
            visible: table.known && String(table.summary.leftSerial || "") !== ""
            Layout.fillWidth: true
            wrapMode: Text.WordWrap
            text: qsTr("Left foot: sensor %1, the lower serial.").arg(String(table.summary.leftSerial || "").toUpperCase())
            color: Theme.muted
            font.pixelSize: Theme.small
        }
        Label {
            objectName: "sprintFeedbackRuns"
            visible: table.known && String(table.summary.feedbackRuns || "") !== ""
            text: qsTr("Feedback runs: %1").arg(table.summary.feedbackRuns || "")
            color: Theme.muted
        }
        EmptyNote {
            Layout.fillWidth: true
            visible: !table.known
            text: table.measurementId === "" ? qsTr("Pick a sprint.") : qsTr("No ground contact times in this measurement.")
        }
    }
}
