import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import KorvexSkin 1.0

// The athletes. The one selected is stored with every new recording.
Page {
    id: screen
    objectName: "usersScreen"
    background: null
    padding: Theme.gap * 2

    function add() {
        var name = nameField.text.trim()
        if (name === "") {
            session.toast(qsTr("Type the athlete's name first."), "error")
            return
        }
        // A name already on the list is refused, and the controller says so.
        if (!userController.addNewUser(name))
            return
        session.selectUser(name)
        nameField.text = ""
    }

    function rename() {
        var name = renameField.text.trim()
        if (name === "" || name === session.user)
            return
        if (!userController.renameUser(session.user, name))
            return
        session.toast(qsTr("%1 is now called %2. Earlier recordings keep the name they were made with.").arg(session.user).arg(name), "info")
        session.selectUser(name)
        renameField.text = ""
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: Theme.gap

        ScreenTitle {
            text: qsTr("Athletes")
            hint: qsTr("Pick the athlete you are testing. New recordings carry the name.")
            Layout.fillWidth: true
        }

        RowLayout {
            Layout.fillWidth: true
            TextField {
                id: nameField
                objectName: "newUserName"
                placeholderText: qsTr("Name of a new athlete")
                Layout.fillWidth: true
                Layout.maximumWidth: 360
                onAccepted: screen.add()
                Accessible.name: qsTr("Name of a new athlete")
            }
            Button {
                objectName: "addUser"
                text: qsTr("Add and select")
                highlighted: true
                enabled: nameField.text.trim() !== ""
                onClicked: screen.add()
            }
        }

        RowLayout {
            Layout.fillWidth: true
            visible: session.user !== ""
            TextField {
                id: renameField
                objectName: "renameUserName"
                placeholderText: qsTr("New name for %1").arg(session.user)
                Layout.fillWidth: true
                Layout.maximumWidth: 360
                onAccepted: screen.rename()
                Accessible.name: qsTr("New name for the selected athlete")
            }
            Button {
                objectName: "renameUser"
                text: qsTr("Rename")
                enabled: renameField.text.trim() !== "" && renameField.text.trim() !== session.user
                onClicked: screen.rename()
            }
            Button {
                objectName: "deleteUser"
                text: qsTr("Delete %1...").arg(session.user)
                onClicked: deleteDialog.open()
            }
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.fillHeight: true
            color: Theme.surface
            border.color: Theme.border
            radius: Theme.radius

            ListView {
                id: list
                objectName: "userList"
                anchors.fill: parent
                anchors.margins: 1
                clip: true
                model: userModel
                ScrollBar.vertical: ScrollBar { }
                delegate: ItemDelegate {
                    objectName: "user_" + UserName
                    width: list.width
                    text: UserName
                    highlighted: UserName === session.user
                    onClicked: session.selectUser(UserName)
                    Accessible.name: highlighted ? qsTr("%1, selected").arg(text) : text
                }
            }
            EmptyNote {
                anchors.centerIn: parent
                width: parent.width
                visible: list.count === 0
                text: qsTr("No athletes yet. Add the first one above.")
            }
        }
    }

    ConfirmDialog {
        id: deleteDialog
        objectName: "deleteUserDialog"
        title: qsTr("Delete this athlete?")
        text: qsTr("%1 is taken off the list. Their measurements stay on this computer under their name.").arg(session.user)
        onConfirmed: {
            var name = session.user
            if (!userController.deleteUser(name)) {
                session.toast(qsTr("%1 could not be deleted.").arg(name), "error")
                return
            }
            session.selectUser("")
            session.toast(qsTr("%1 is deleted from the list of athletes.").arg(name), "info")
        }
    }
}
