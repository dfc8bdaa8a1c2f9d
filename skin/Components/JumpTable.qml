import QtQuick 2.15
import KorvexSkin 1.0
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The height of every jump of a measurement, with the session's best and mean.
Rectangle {
    id: table
    objectName: "jumpTable"
    property string measurementId: ""
    // {jumps: [{serial, number, timeS, heightCm}], bestCm, meanCm, count}
    property var result: ({ jumps: [], count: 0 })
    readonly property int count: result.count !== undefined ? result.count : 0

    color: Theme.surface
    border.color: Theme.border
    radius: Theme.radius
    implicitWidth: 220

    function centimetres(value) {
        return Number(value).toLocaleString(Qt.locale(), "f", 1) + " cm"
    }

    onMeasurementIdChanged: {
        var r = measurementId === "" ? null : measurementController.jumpHeights(measurementId)
        result = r && r.jumps !== undefined ? r : { jumps: [], count: 0 }
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: Theme.gap
        spacing: 4

        Label {
            text: qsTr("Jump heights")
            font.bold: true
            font.pixelSize: Theme.large
        }
        GridLayout {
            columns: 2
            columnSpacing: Theme.gap
            visible: table.count > 0
            Label { text: qsTr("Best"); color: Theme.muted }
            Label {
                objectName: "jumpBest"
                text: table.count > 0 ? table.centimetres(table.result.bestCm) : ""
                font.bold: true
                font.pixelSize: Theme.large
            }
            Label { text: qsTr("Mean"); color: Theme.muted }
            Label {
                objectName: "jumpMean"
                text: table.count > 0 ? table.centimetres(table.result.meanCm) : ""
                font.bold: true
            }
            Label { text: qsTr("Jumps"); color: Theme.muted }
            Label { objectName: "jumpCount"; text: String(table.count) }
        }
        Rectangle {
            Layout.fillWidth: true
            height: 1
            color: Theme.border
            visible: table.count > 0
        }
        ListView {
            id: rows
            objectName: "jumpRows"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: table.result.jumps
            ScrollBar.vertical: ScrollBar { }
            header: RowLayout {
                width: rows.width
                visible: table.count > 0
                Label { text: qsTr("Jump"); color: Theme.muted; Layout.fillWidth: true }
                Label { text: qsTr("Height"); color: Theme.muted }
            }
            delegate: RowLayout {
                objectName: "jump_" + modelData.number
                property string heightText: table.centimetres(modelData.heightCm)
                width: rows.width - 10
                Accessible.role: Accessible.Row
                Accessible.name: qsTr("Jump %1: %2").arg(modelData.number).arg(heightText)
                Label { text: modelData.number; Layout.fillWidth: true }
                Label {
                    text: parent.heightText
                    font.bold: modelData.heightCm === table.result.bestCm
                }
            }
        }
        EmptyNote {
            Layout.fillWidth: true
            visible: table.count === 0
            text: table.measurementId === "" ? qsTr("Pick a recording.") : qsTr("No jump in this recording.")
        }
    }
}
