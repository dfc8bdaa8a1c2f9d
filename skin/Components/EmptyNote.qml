import QtQuick 2.15
import QtQuick.Controls 2.15

// What a list says when it has nothing to show.
Label {
    color: theme.muted
    wrapMode: Text.WordWrap
    horizontalAlignment: Text.AlignHCenter
    padding: theme.gap * 2
}
