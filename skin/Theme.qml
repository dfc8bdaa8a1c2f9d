pragma Singleton
import QtQuick 2.15

// Colours and sizes shared by every screen, so the whole scene stays of a piece.
QtObject {
    readonly property color window: "#eef1f5"
    readonly property color surface: "#ffffff"
    readonly property color surfaceAlt: "#f6f8fa"
    readonly property color border: "#d4dae2"
    readonly property color text: "#1d2733"
    readonly property color muted: "#5b6878"
    readonly property color accent: "#1f6feb"
    readonly property color accentSoft: "#dbe8fd"
    readonly property color navBar: "#1b2430"
    readonly property color navText: "#c9d3df"
    readonly property color good: "#1a7f37"
    readonly property color warn: "#9a6700"
    readonly property color bad: "#c62828"

    readonly property int gap: 8
    readonly property int radius: 6
    readonly property int small: 11
    readonly property int normal: 13
    readonly property int large: 16
    readonly property int title: 20
}
