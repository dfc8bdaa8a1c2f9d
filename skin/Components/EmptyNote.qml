import QtQuick 2.15
import KorvexSkin 1.0
import QtQuick.Controls 2.15

// What a list says when it has nothing to show.
Label {
    color: Theme.muted
    wrapMode: Text.WordWrap
    horizontalAlignment: Text.AlignHCenter
    padding: Theme.gap * 2
}
