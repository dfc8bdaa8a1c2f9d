import QtQuick 2.15
import KorvexSkin 1.0
import QtQuick.Controls 2.15

// Asks before something that cannot be undone.
Dialog {
    id: dialog
    property alias text: message.text
    property string confirmText: qsTr("Delete")
    signal confirmed()

    modal: true
    anchors.centerIn: Overlay.overlay
    width: Math.min(420, Overlay.overlay ? Overlay.overlay.width - 40 : 420)
    standardButtons: Dialog.Cancel | Dialog.Ok
    // Enter confirms, Esc cancels.
    closePolicy: Popup.CloseOnEscape
    focus: true
    onAccepted: confirmed()
    Shortcut {
        sequences: ["Return", "Enter"]
        enabled: dialog.opened
        onActivated: dialog.accept()
    }

    Component.onCompleted: {
        var ok = standardButton(Dialog.Ok)
        ok.text = Qt.binding(function() { return dialog.confirmText })
        ok.objectName = "confirmButton"
        standardButton(Dialog.Cancel).objectName = "cancelButton"
    }

    Label {
        id: message
        // Popups are no items; tests and tools find the dialog by its text.
        objectName: dialog.objectName + "Message"
        width: dialog.availableWidth
        wrapMode: Text.WordWrap
    }
}
