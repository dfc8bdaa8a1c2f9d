import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The measurements on this computer, newest first, optionally only those of
// one app. Clicking one selects it.
Rectangle {
    id: picker
    property string appFilter: ""
    property string selectedId: ""
    property string selectedApp: ""
    property string selectedSetup: ""
    property int selectedRow: -1
    signal picked(string measurementId, string appName, string setupName)

    color: theme.surface
    border.color: theme.border
    radius: theme.radius

    function forget() {
        selectedId = ""
        selectedApp = ""
        selectedSetup = ""
        selectedRow = -1
    }

    Connections {
        target: measurementsModel
        function onRowsRemoved() { picker.forget() }
        function onModelReset() { picker.forget() }
    }

    ListView {
        id: list
        objectName: "measurementList"
        anchors.fill: parent
        anchors.margins: 1
        clip: true
        model: measurementsModel
        ScrollBar.vertical: ScrollBar { }
        delegate: ItemDelegate {
            id: row
            objectName: "measurement_" + MeasurementID
            readonly property bool shown: picker.appFilter === "" || AppName === picker.appFilter
            visible: shown
            width: list.width
            height: shown ? implicitHeight : 0
            highlighted: MeasurementID === picker.selectedId
            onClicked: {
                picker.selectedId = MeasurementID
                picker.selectedApp = AppName
                picker.selectedSetup = SetupName
                picker.selectedRow = index
                picker.picked(MeasurementID, AppName, SetupName)
            }
            contentItem: ColumnLayout {
                spacing: 0
                Label {
                    text: StartTime !== "" ? StartTime : qsTr("Uploaded recording %1").arg(MeasurementID.toUpperCase())
                    font.bold: true
                    elide: Text.ElideRight
                    Layout.fillWidth: true
                }
                Label {
                    text: [UserName === "" ? qsTr("no athlete") : UserName,
                           AppName === "" ? qsTr("no app") : AppName,
                           SetupName === "" ? qsTr("no setup") : SetupName].join(" · ")
                    color: row.highlighted ? "white" : theme.muted
                    font.pixelSize: theme.small
                    elide: Text.ElideRight
                    Layout.fillWidth: true
                }
            }
        }
    }

    EmptyNote {
        anchors.centerIn: parent
        width: parent.width
        visible: list.count === 0
        text: picker.appFilter === "" ? qsTr("No measurements yet. Record and upload one, or import CSV files.")
                                      : qsTr("No %1 measurements yet.").arg(picker.appFilter)
    }
}
