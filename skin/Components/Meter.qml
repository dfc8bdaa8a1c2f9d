import QtQuick 2.15
import KorvexSkin 1.0

// A progress bar in the skin's colours, from 0 to 1.
Rectangle {
    id: meter
    property real value: 0
    implicitHeight: 10
    implicitWidth: 200
    radius: height / 2
    color: Theme.surfaceAlt
    border.color: Theme.border

    Rectangle {
        width: Math.max(meter.height, meter.width * Math.min(1, Math.max(0, meter.value)))
        height: meter.height
        radius: meter.radius
        color: Theme.accent
        visible: meter.value > 0
    }
}
