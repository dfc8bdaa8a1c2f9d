import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import KorvexSkin 1.0

// The sprint test: acceleration at 1 kHz and the ground contact times the
// sensors work out on the foot.
Page {
    objectName: "sprintSetupScreen"
    background: null
    padding: Theme.gap * 2

    ColumnLayout {
        anchors.fill: parent
        spacing: Theme.gap
        ScreenTitle {
            text: qsTr("Sprint setup")
            Layout.fillWidth: true
        }
        Card {
            Layout.fillWidth: true
            SetupPanel {
                Layout.fillWidth: true
                plan: ({
                    name: "Sprint 1kHz",
                    baseFrequency: 1000,
                    color: 0xe36209,
                    description: qsTr("Sprint 1kHz: acceleration at 1000 Hz and the ground contact time of every step. Fix one sensor on each shoe."),
                    tracks: [
                        { kind: "accel", dsf: 1 },
                        // About one value per step.
                        { id: 0x8014, dsf: 250 },
                        { id: 0x8015, dsf: 10 },
                        { id: 0x8016, dsf: 250 }
                    ]
                })
            }
        }
        Card {
            title: qsTr("Which sensor goes on which foot")
            Layout.fillWidth: true
            Label {
                objectName: "footAssignment"
                Layout.fillWidth: true
                wrapMode: Text.WordWrap
                // Left is the lower serial: that is how the results pair the feet.
                readonly property var serials: {
                    devManager.numDevConnected
                    var s = session.onlineSerials()
                    s.sort(function(a, b) { return a.length !== b.length ? a.length - b.length : (a < b ? -1 : a > b ? 1 : 0) })
                    return s
                }
                text: serials.length === 0 ? qsTr("Connect the two sensors to see which goes on which foot.")
                    : serials.length === 1 ? qsTr("Left foot: sensor %1. Connect a second sensor for the right foot.").arg(serials[0].toUpperCase())
                    : qsTr("Left foot: sensor %1. Right foot: sensor %2.").arg(serials[0].toUpperCase()).arg(serials[1].toUpperCase())
                      + (serials.length > 2 ? " " + qsTr("Only two sensors are used for the feet; the others record too.") : "")
            }
        }
        Item { Layout.fillHeight: true }
    }
}
