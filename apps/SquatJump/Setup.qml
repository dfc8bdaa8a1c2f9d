import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import KorvexSkin 1.0

// The squat-jump test: the sensor measures each flight and gives the height.
Page {
    objectName: "squatJumpSetupScreen"
    background: null
    padding: Theme.gap * 2

    ColumnLayout {
        anchors.fill: parent
        spacing: Theme.gap
        ScreenTitle {
            text: qsTr("Squat jump setup")
            Layout.fillWidth: true
        }
        Card {
            Layout.fillWidth: true
            SetupPanel {
                Layout.fillWidth: true
                plan: ({
                    name: "Squat Jump 500Hz",
                    baseFrequency: 500,
                    color: 0x8250df,
                    description: qsTr("Squat Jump 500Hz: acceleration at 500 Hz, the jump state and the height of every jump. Fix the sensor at the hip."),
                    tracks: [
                        { kind: "accel", dsf: 1 },
                        { id: 0x8004, dsf: 50 },
                        { id: 0x8005, dsf: 10 }
                    ]
                })
            }
        }
        Item { Layout.fillHeight: true }
    }
}
