import QtQuick 2.15
import KorvexSkin 1.0
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// Large enough to read from the track: the contact time of each foot's last
// step, and the height of each sensor's last jump, as the stream brings
// them (see LiveFeedback). Shown only when the sensors stream such values;
// the last ones stay until the next live view starts.
RowLayout {
    id: digits
    objectName: "liveDigits"
    readonly property var feedback: liveController.feedback
    readonly property var feet: feedback ? feedback.feet : []
    readonly property var jumps: feedback ? feedback.jumps : []
    visible: feet.length > 0 || jumps.length > 0
    spacing: Theme.gap

    component Tile: Rectangle {
        id: tile
        property string name: ""
        property string caption: ""
        property string value: "–"
        property string unit: ""
        property string footnote: ""
        Layout.fillWidth: true
        Layout.maximumWidth: 320
        implicitHeight: column.implicitHeight + Theme.gap * 2
        radius: Theme.radius
        border.color: Theme.border
        color: Theme.surface
        ColumnLayout {
            id: column
            anchors.fill: parent
            anchors.margins: Theme.gap
            spacing: 0
            Label {
                text: tile.caption
                color: Theme.muted
                font.pixelSize: Theme.normal
                font.bold: true
                elide: Text.ElideRight
                Layout.fillWidth: true
            }
            RowLayout {
                spacing: 6
                Label {
                    objectName: tile.name
                    text: tile.value
                    font.pixelSize: 56
                    font.bold: true
                    color: Theme.text
                }
                Label {
                    text: tile.unit
                    visible: tile.value !== "–"
                    font.pixelSize: Theme.title
                    color: Theme.muted
                    Layout.alignment: Qt.AlignBaseline
                }
            }
            Label {
                text: tile.footnote
                color: Theme.muted
                font.pixelSize: Theme.small
            }
        }
    }

    // Counted models: the tiles stay while their values change.
    Repeater {
        model: digits.feet.length
        delegate: Tile {
            readonly property var entry: digits.feet[index] || ({ serial: "", foot: "", contactMs: 0, steps: 0 })
            name: "liveContact_" + entry.serial
            caption: (entry.foot === "left" ? qsTr("Left foot") : entry.foot === "right" ? qsTr("Right foot") : qsTr("Foot"))
                     + " · " + qsTr("sensor %1").arg(entry.serial.toUpperCase())
            value: entry.contactMs > 0 ? Number(entry.contactMs).toLocaleString(Qt.locale(), "f", 0) : "–"
            unit: "ms"
            footnote: entry.steps === 0 ? qsTr("Waiting for the first step")
                    : entry.steps === 1 ? qsTr("Last ground contact · 1 step") : qsTr("Last ground contact · %1 steps").arg(entry.steps)
        }
    }
    Repeater {
        model: digits.jumps.length
        delegate: Tile {
            readonly property var entry: digits.jumps[index] || ({ serial: "", heightCm: 0, jumps: 0 })
            name: "liveJump_" + entry.serial
            caption: qsTr("Jump height · sensor %1").arg(entry.serial.toUpperCase())
            value: entry.jumps > 0 ? Number(entry.heightCm).toLocaleString(Qt.locale(), "f", 1) : "–"
            unit: "cm"
            footnote: entry.jumps === 0 ? qsTr("Waiting for the first jump")
                    : entry.jumps === 1 ? qsTr("Last jump · 1 jump") : qsTr("Last jump · %1 jumps").arg(entry.jumps)
        }
    }
    Item { Layout.fillWidth: true }
}
