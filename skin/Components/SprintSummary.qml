import QtQuick 2.15
import KorvexSkin 1.0
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// What a sprint or an average of sprints computed: the mean contact time of
// each foot and of both, the difference between the feet, and what went in.
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
        Label {
            objectName: "sprintDifference"
            visible: table.known && table.summary.leftSteps > 0 && table.summary.rightSteps > 0
            text: qsTr("Left/right difference: %1 %").arg(Number(table.summary.differencePercent || 0).toLocaleString(Qt.locale(), "f", 1))
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
