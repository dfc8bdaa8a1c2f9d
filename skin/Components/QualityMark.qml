import QtQuick 2.15
import KorvexSkin 1.0
import QtQuick.Controls 2.15

// How whole a measurement's data is, at a glance: green when every sample is
// there, amber when at most one in a hundred is missing, red when more; the
// figures on hover. Nothing is shown before there are figures.
Rectangle {
    id: mark
    // DataQuality figures: "level" and "text".
    property var quality: ({})
    readonly property string level: quality && quality.level !== undefined ? String(quality.level) : "unknown"
    readonly property string text: quality && quality.text !== undefined ? String(quality.text) : ""
    readonly property bool hovered: hover.hovered

    visible: level !== "unknown"
    implicitWidth: 10
    implicitHeight: 10
    radius: 5
    color: level === "good" ? Theme.good : level === "fair" ? Theme.warn : Theme.bad
    Accessible.role: Accessible.Indicator
    Accessible.name: level === "good" ? qsTr("Data complete") : level === "fair" ? qsTr("A few samples missing")
                                      : qsTr("Many samples missing")
    Accessible.description: text

    HoverHandler { id: hover }
    ToolTip {
        id: tip
        objectName: "qualityTip"
        visible: hover.hovered && mark.text !== ""
        delay: 300
        // Beside the mark, over the entry it belongs to.
        x: mark.width + 6
        y: (mark.height - height) / 2
        text: (mark.level === "good" ? qsTr("Data complete") : mark.level === "fair" ? qsTr("A few samples missing")
                                     : qsTr("Many samples missing")) + "\n\n" + mark.text
        contentItem: Label {
            text: tip.text
            textFormat: Text.PlainText
            font.pixelSize: Theme.normal
        }
    }
}
