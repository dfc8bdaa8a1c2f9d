import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../../Components"

// The athletes. The one selected is stored with every new recording.
Page {
    id: screen
    objectName: "usersScreen"
    background: null
    padding: theme.gap * 2

    function add() {
        var name = nameField.text.trim()
        if (name === "") {
            session.toast(qsTr("Type the athlete's name first."), "error")
            return
        }
        userController.addNewUser(name)
        session.selectUser(name)
        nameField.text = ""
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: theme.gap

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
            }
            Button {
                objectName: "addUser"
                text: qsTr("Add and select")
                highlighted: true
                enabled: nameField.text.trim() !== ""
                onClicked: screen.add()
            }
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.fillHeight: true
            color: theme.surface
            border.color: theme.border
            radius: theme.radius

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
}
