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
    ToolTip.visible: hover.hovered && text !== ""
    ToolTip.delay: 300
    ToolTip.text: (level === "good" ? qsTr("Data complete") : level === "fair" ? qsTr("A few samples missing")
                                    : qsTr("Many samples missing")) + "\n\n" + text
}
