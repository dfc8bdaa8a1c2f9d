import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import KorvexSkin 1.0

// The sprint test: acceleration at 1 kHz and the ground contact times the
// sensors work out on the foot.
Page {
    objectName: "sprintSetupScreen"
    background: null
    padding: theme.gap * 2

    ColumnLayout {
        anchors.fill: parent
        spacing: theme.gap
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
        Item { Layout.fillHeight: true }
    }
}
