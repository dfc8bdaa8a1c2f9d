import QtQuick 2.15
import KorvexSkin 1.0
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// One sensor: who it is, how it is reached, what it is doing and what it holds.
Rectangle {
    id: card
    objectName: "device_" + serial
    property string serial: ""
    property bool online: false
    property bool usb: false
    property bool bluetooth: false
    property string topState: ""
    property int firmware: 0
    // All recordings listed, or only the first few.
    property bool expanded: false
    readonly property int folded: 3
    readonly property var measurements: devModel.getMeasurementsOnDeviceModel(serial)

    implicitHeight: column.implicitHeight + Theme.gap * 2
    radius: Theme.radius
    color: Theme.surface
    border.color: session.identifying === serial ? Theme.warn : online ? Theme.accent : Theme.border
    border.width: session.identifying === serial ? 2 : 1
    Accessible.role: Accessible.Grouping
    Accessible.name: qsTr("Sensor %1").arg(serial.toUpperCase())
    opacity: online ? 1.0 : 0.7

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: Theme.gap
        spacing: 4

        RowLayout {
            Layout.fillWidth: true
            Rectangle {
                width: 10
                height: 10
                radius: 5
                color: card.online ? Theme.good : Theme.muted
            }
            Label {
                text: card.serial.toUpperCase()
                font.bold: true
                font.family: "DejaVu Sans Mono"
                Layout.fillWidth: true
                elide: Text.ElideRight
            }
            Button {
                objectName: "identify_" + card.serial
                text: qsTr("Identify")
                enabled: card.online
                flat: true
                Accessible.name: qsTr("Identify sensor %1").arg(card.serial.toUpperCase())
                ToolTip.visible: hovered
                ToolTip.text: qsTr("The sensor blinks in colours for a few seconds.")
                onClicked: session.identify([card.serial])
            }
        }
        Label {
            Layout.fillWidth: true
            color: Theme.muted
            font.pixelSize: Theme.small
            wrapMode: Text.WordWrap
            text: {
                if (!card.online)
                    return qsTr("Offline")
                var links = []
                if (card.usb)
                    links.push(qsTr("USB"))
                if (card.bluetooth)
                    links.push(qsTr("Bluetooth"))
                var parts = [links.join(" + ")]
                // What the program has the sensors do outranks what they
                // last reported.
                if (session.identifying === card.serial)
                    parts.push(qsTr("blinking"))
                else if (session.activity !== "")
                    parts.push(session.activity)
                else if (card.topState !== "")
                    parts.push(card.topState)
                if (card.firmware > 0)
                    parts.push(qsTr("firmware %1").arg(card.firmware))
                return parts.join(" · ")
            }
        }
        RowLayout {
            id: liveQuality
            objectName: "liveQuality_" + card.serial
            // How whole this sensor's stream is, while a live view runs.
            property var figures: ({})
            // Short enough for the card; the mark has the whole figures.
            readonly property string text: {
                if (figures.stored === undefined || figures.expected === undefined)
                    return ""
                var stored = Number(figures.stored).toLocaleString(Qt.locale(), "f", 0)
                var gaps = Number(figures.gaps)
                if (figures.stored >= figures.expected && gaps === 0)
                    return qsTr("%1 samples, none missing").arg(stored)
                return [qsTr("%1 of %2 samples").arg(stored).arg(Number(figures.expected).toLocaleString(Qt.locale(), "f", 0)),
                        gaps === 1 ? qsTr("1 gap") : qsTr("%1 gaps").arg(gaps)].join(" · ")
            }
            visible: session.streaming && text !== ""
            Layout.fillWidth: true
            spacing: Theme.gap
            QualityMark {
                quality: liveQuality.figures
                Layout.alignment: Qt.AlignVCenter
            }
            Label {
                objectName: "liveQualityText_" + card.serial
                text: liveQuality.text
                font.pixelSize: Theme.small
                color: Theme.muted
                elide: Text.ElideRight
                Layout.fillWidth: true
            }
            Timer {
                interval: 1000
                repeat: true
                triggeredOnStart: true
                running: session.streaming && card.online
                onTriggered: liveQuality.figures = liveController.liveQuality(card.serial)
                onRunningChanged: if (!running) liveQuality.figures = ({})
            }
        }
        Label {
            objectName: "recordings_" + card.serial
            Layout.fillWidth: true
            font.pixelSize: Theme.small
            readonly property int count: recordings.count
            text: count === 0 ? qsTr("No recordings on the sensor")
                              : count === 1 ? qsTr("1 recording on the sensor") : qsTr("%1 recordings on the sensor").arg(count)
            color: count === 0 ? Theme.muted : Theme.text
        }
        Repeater {
            id: recordings
            model: card.measurements
            // A few are listed until the list is opened.
            delegate: ColumnLayout {
                id: entry
                Layout.fillWidth: true
                spacing: 0
                visible: card.expanded || index < card.folded
                readonly property string uploadState: typeof UploadState === "string" ? UploadState : ""
                readonly property bool uploaded: uploadState === "uploaded"
                Label {
                    id: entryName
                    // Once its header is known, a recording is named by when
                    // and whom it recorded; the id stays in the tooltip.
                    readonly property string when: typeof StartTimeText === "string" ? StartTimeText : ""
                    text: when !== "" ? [when, UserName === "" ? qsTr("no athlete") : UserName].join(" · ")
                                      : qsTr("Recording %1").arg(MeasurementID.toUpperCase())
                    font.pixelSize: Theme.small
                    font.family: "DejaVu Sans Mono"
                    Layout.fillWidth: true
                    elide: Text.ElideRight
                    ToolTip.visible: entryHover.hovered
                    ToolTip.text: qsTr("Recording %1").arg(MeasurementID.toUpperCase())
                                  + (AppName !== "" ? "\n" + [AppName, SetupName].join(" · ") : "")
                    HoverHandler { id: entryHover }
                }
                RowLayout {
                    Layout.fillWidth: true
                    spacing: Theme.gap
                    Label {
                        objectName: "uploadState_" + MeasurementID
                        text: entry.uploaded ? qsTr("on the laptop")
                            : entry.uploadState === "partly uploaded" ? qsTr("partly on the laptop")
                            : qsTr("only on the sensor")
                        font.pixelSize: Theme.small
                        color: entry.uploaded ? Theme.good : entry.uploadState === "partly uploaded" ? Theme.warn : Theme.muted
                        Layout.fillWidth: true
                        elide: Text.ElideRight
                    }
                    ToolButton {
                        objectName: "uploadOne_" + MeasurementID
                        text: entry.uploaded ? qsTr("Upload again") : qsTr("Upload")
                        font.pixelSize: Theme.small
                        enabled: card.online && !session.recording
                        Accessible.name: qsTr("Upload recording %1").arg(MeasurementID.toUpperCase())
                        onClicked: session.upload(MeasurementID)
                    }
                }
            }
        }
        RowLayout {
            Layout.fillWidth: true
            visible: recordings.count > 0
            ToolButton {
                objectName: "expandRecordings_" + card.serial
                visible: recordings.count > card.folded
                text: card.expanded ? qsTr("Show fewer") : qsTr("Show all %1").arg(recordings.count)
                font.pixelSize: Theme.small
                Accessible.name: card.expanded ? qsTr("Show fewer recordings") : qsTr("Show all recordings of sensor %1").arg(card.serial.toUpperCase())
                onClicked: card.expanded = !card.expanded
            }
            Item { Layout.fillWidth: true }
            ToolButton {
                objectName: "uploadAll_" + card.serial
                visible: recordings.count > 1
                text: qsTr("Upload all")
                font.pixelSize: Theme.small
                enabled: card.online && !session.recording
                Accessible.name: qsTr("Upload every recording of sensor %1").arg(card.serial.toUpperCase())
                onClicked: session.uploadAll(card.serial)
            }
        }
    }
}
