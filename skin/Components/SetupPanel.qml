import QtQuick 2.15
import KorvexSkin 1.0
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// Configures every connected sensor. With a fixed plan the panel explains it
// and applies it; without one the user picks channels, rate and colour.
ColumnLayout {
    id: panel
    // {name, baseFrequency, color, tracks: [...], description}; null for a free choice.
    property var plan: null
    spacing: Theme.gap

    readonly property var kinds: [
        { kind: "accel", label: qsTr("Accelerometer (3 axes)"), on: true },
        { kind: "gyro", label: qsTr("Gyroscope (3 axes)"), on: true },
        { kind: "mag", label: qsTr("Magnetometer (3 axes)"), on: false },
        { kind: "quaternion", label: qsTr("Orientation (quaternion)"), on: false },
        { kind: "pressure", label: qsTr("Pressure, temperature, altitude"), on: false },
        { kind: "battery", label: qsTr("Battery voltage"), on: false },
        { kind: "current", label: qsTr("Charging current"), on: false },
        { kind: "charging", label: qsTr("Charging state"), on: false },
        { kind: "adc3", label: qsTr("Analogue input 3"), on: false },
        { kind: "adc4", label: qsTr("Analogue input 4"), on: false }
    ]
    readonly property var frequencies: [100, 200, 500, 1000]
    readonly property var colours: [
        { name: qsTr("Blue"), value: 0x1f6feb },
        { name: qsTr("Green"), value: 0x1a7f37 },
        { name: qsTr("Orange"), value: 0xe36209 },
        { name: qsTr("Purple"), value: 0x8250df },
        { name: qsTr("Red"), value: 0xc62828 }
    ]

    function customPlan() {
        var tracks = []
        for (var i = 0; i < kinds.length; ++i) {
            // A row still being built has its first values.
            var row = channelRepeater.itemAt(i)
            if (row !== null ? row.checked : kinds[i].on)
                tracks.push({ kind: kinds[i].kind, dsf: row !== null ? row.divider : 1 })
        }
        return {
            name: qsTr("Custom %1 Hz").arg(frequencies[frequency.currentIndex]),
            baseFrequency: frequencies[frequency.currentIndex],
            color: colours[colour.currentIndex].value,
            tracks: tracks
        }
    }

    // What a fixed plan records, each channel with its rate in Hz.
    readonly property var channelNames: ({
        "accel": qsTr("acceleration"), "gyro": qsTr("rotation rate"), "mag": qsTr("magnetic field"),
        "quaternion": qsTr("orientation"), "pressure": qsTr("pressure"), "battery": qsTr("battery voltage"),
        "current": qsTr("charging current"), "charging": qsTr("charging state"),
        "adc3": qsTr("analogue input 3"), "adc4": qsTr("analogue input 4"),
        "32772": qsTr("jump height"), "32773": qsTr("jump state"),
        "32788": qsTr("ground contact time"), "32789": qsTr("contact state"), "32790": qsTr("step time")
    })
    function rateText(hz) {
        return (hz >= 10 ? Math.round(hz) : Math.round(hz * 10) / 10) + " Hz"
    }
    function planChannels(plan) {
        var parts = []
        for (var i = 0; i < plan.tracks.length; ++i) {
            var t = plan.tracks[i]
            var key = t.kind !== undefined ? t.kind : String(t.id)
            var name = channelNames[key] !== undefined ? channelNames[key] : qsTr("channel %1").arg(key)
            parts.push(qsTr("%1 at %2").arg(name).arg(rateText(plan.baseFrequency / Math.max(1, t.dsf))))
        }
        return parts.join(", ")
    }

    Label {
        visible: panel.plan !== null
        text: panel.plan !== null ? panel.plan.description : ""
        wrapMode: Text.WordWrap
        Layout.fillWidth: true
    }
    Label {
        objectName: "planChannels"
        visible: panel.plan !== null
        text: panel.plan !== null ? qsTr("Each sensor records %1.").arg(panel.planChannels(panel.plan)) : ""
        color: Theme.muted
        wrapMode: Text.WordWrap
        Layout.fillWidth: true
    }

    RowLayout {
        Layout.fillWidth: true
        Button {
            objectName: "applySetup"
            text: qsTr("Set up sensors")
            highlighted: true
            enabled: !session.setupRunning && devManager.numDevConnected > 0 && session.setupBlocked === ""
            onClicked: session.applySetup(panel.plan !== null ? panel.plan : panel.customPlan())
        }
        Label {
            objectName: "setupState"
            Layout.fillWidth: true
            wrapMode: Text.WordWrap
            color: session.setupState === "failed" ? Theme.bad
                 : session.setupState === "done" ? Theme.good : Theme.muted
            text: devManager.numDevConnected === 0 ? qsTr("Connect a sensor to set it up.")
                : session.setupBlocked !== "" && !session.setupRunning ? session.setupBlocked
                : session.setupState === "running" ? session.counted(devManager.numDevConnected, qsTr("Setting up %1 sensor..."), qsTr("Setting up %1 sensors..."))
                : session.setupState === "done" ? qsTr("%1 is set up on every connected sensor.").arg(session.setup)
                : session.setupState === "failed" ? qsTr("The setup failed. Check the sensors and try again.")
                : session.counted(devManager.numDevConnected, qsTr("%1 sensor will be set up."), qsTr("%1 sensors will be set up."))
        }
    }

    GridLayout {
        visible: panel.plan === null
        columns: 2
        columnSpacing: Theme.gap * 2
        Layout.fillWidth: true

        Label { text: qsTr("Base frequency") }
        ComboBox {
            id: frequency
            objectName: "baseFrequency"
            model: panel.frequencies.map(function(f) { return f + " Hz" })
            currentIndex: 3
            Layout.preferredWidth: 140
            Accessible.name: qsTr("Base frequency")
        }
        Label { text: qsTr("Sensor colour") }
        ComboBox {
            id: colour
            objectName: "sensorColour"
            model: panel.colours.map(function(c) { return c.name })
            Layout.preferredWidth: 140
            Accessible.name: qsTr("Sensor colour")
        }
    }

    Label {
        visible: panel.plan === null
        text: qsTr("Channels recorded by every connected sensor, and the rate of each:")
        color: Theme.muted
        wrapMode: Text.WordWrap
        Layout.fillWidth: true
    }

    Flow {
        visible: panel.plan === null
        Layout.fillWidth: true
        spacing: 4
        Repeater {
            id: channelRepeater
            model: panel.kinds
            delegate: RowLayout {
                property alias checked: box.checked
                readonly property int divider: [1, 2, 5, 10, 100][rate.currentIndex]
                width: 300
                CheckBox {
                    id: box
                    objectName: "channel_" + modelData.kind
                    text: modelData.label
                    checked: modelData.on
                    Layout.fillWidth: true
                }
                ComboBox {
                    id: rate
                    enabled: box.checked
                    // Rates in Hz at the chosen base frequency.
                    model: [1, 2, 5, 10, 100].map(function(d) {
                        return Number(panel.frequencies[frequency.currentIndex] / d).toLocaleString(Qt.locale("C"), "f", d > 10 ? 1 : 0) + " Hz"
                    })
                    Layout.preferredWidth: 96
                    Accessible.name: qsTr("Rate of %1").arg(modelData.label)
                }
            }
        }
    }

}
