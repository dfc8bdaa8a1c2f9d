import QtQuick 2.15
import KorvexSkin 1.0
import Korvex 1.0
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The measurements on this computer, newest first: those of the selected
// athlete (or of all), optionally only those of one app. Clicking one
// selects it; with `checkable`, each row has a box to pick it for a series.
Rectangle {
    id: picker
    property string appFilter: ""
    property bool liveViews: true
    property bool checkable: false
    // The picked sprint's entry shows its figures (SprintFigures).
    property bool sprintFigures: false
    // Only the measurements of one day ("yyyy-MM-dd"), or all.
    property string day: ""
    property string selectedId: ""
    property string selectedApp: ""
    property string selectedSetup: ""
    // Ids left out of the series by the user; every other row counts.
    property var unchecked: ({})
    readonly property alias filter: filtered
    readonly property int count: filtered.count
    signal picked(string measurementId, string appName, string setupName)

    color: Theme.surface
    border.color: Theme.border
    radius: Theme.radius

    function forget() {
        selectedId = ""
        selectedApp = ""
        selectedSetup = ""
    }

    // The ids of the rows shown whose box is ticked: recordings only, an
    // average never goes into another.
    function checkedIds() {
        var ids = []
        for (var row = 0; row < measurementsModel.rowCount(); ++row) {
            var id = measurementsModel.valueAt(row, "MeasurementID")
            if (unchecked[id] !== true && !isAverage(measurementsModel.valueAt(row, "SetupName")) && shownIds[id] === true)
                ids.push(id)
        }
        return ids
    }
    // The averages of sprints carry the name of the series in their setup.
    function isAverage(setupName) {
        return String(setupName).indexOf("GCT average") === 0
    }
    readonly property var shownIds: {
        filtered.count
        var set = {}
        var all = filtered.ids()
        for (var i = 0; i < all.length; ++i)
            set[all[i]] = true
        return set
    }

    function setChecked(id, on) {
        var copy = Object.assign({}, unchecked)
        if (on)
            delete copy[id]
        else
            copy[id] = true
        unchecked = copy
    }

    MeasurementFilter {
        id: filtered
        sourceModel: measurementsModel
        userName: allAthletes.checked ? "" : session.user
        appName: picker.appFilter
        day: picker.day
        liveViews: picker.liveViews
    }

    Connections {
        target: measurementsModel
        function onRowsRemoved() {
            if (picker.selectedId !== "" && filtered.ids().indexOf(picker.selectedId) < 0)
                picker.forget()
        }
        function onModelReset() { picker.forget() }
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 1
        spacing: 0

        CheckBox {
            id: allAthletes
            objectName: "allAthletes"
            Layout.fillWidth: true
            text: session.user === "" ? qsTr("Every athlete") : qsTr("Every athlete, not only %1").arg(session.user)
            checked: session.user === ""
            enabled: session.user !== ""
            font.pixelSize: Theme.small
        }

        ListView {
            id: list
            objectName: "measurementList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: filtered
            keyNavigationEnabled: true
            activeFocusOnTab: true
            ScrollBar.vertical: ScrollBar { }
            delegate: ItemDelegate {
                id: row
                objectName: "measurement_" + MeasurementID
                width: list.width - (list.ScrollBar.vertical.visible ? 10 : 0)
                highlighted: MeasurementID === picker.selectedId
                readonly property string title: IsLiveView ? qsTr("Live view, %1").arg(StartTimeText)
                                              : StartTimeText !== "" ? StartTimeText
                                              : qsTr("Recording %1").arg(MeasurementID.toUpperCase())
                readonly property string details: [UserName === "" ? qsTr("no athlete") : UserName,
                                                   AppName === "" ? qsTr("no app") : AppName,
                                                   SetupName === "" ? qsTr("no setup") : SetupName].join(" · ")
                Accessible.name: title + ", " + details
                // The quality mark has figures of its own to show.
                ToolTip.visible: hovered && !rowQuality.hovered
                ToolTip.delay: 600
                ToolTip.text: title + "\n" + details + "\n" + qsTr("Id %1").arg(MeasurementID.toUpperCase())
                onClicked: {
                    picker.selectedId = MeasurementID
                    picker.selectedApp = AppName
                    picker.selectedSetup = SetupName
                    list.currentIndex = index
                    picker.picked(MeasurementID, AppName, SetupName)
                }
                contentItem: RowLayout {
                    spacing: Theme.gap
                    CheckBox {
                        objectName: "pick_" + MeasurementID
                        visible: picker.checkable && !picker.isAverage(SetupName)
                        checked: picker.unchecked[MeasurementID] !== true
                        onToggled: picker.setChecked(MeasurementID, checked)
                        Accessible.name: qsTr("Count %1 in the series").arg(row.title)
                        padding: 0
                    }
                    QualityMark {
                        id: rowQuality
                        objectName: "quality_" + MeasurementID
                        // Read again when figures may have changed.
                        quality: session.qualityRevision >= 0 ? session.qualityOf(MeasurementID) : ({})
                        Layout.alignment: Qt.AlignVCenter
                    }
                    ColumnLayout {
                        spacing: 0
                        Layout.fillWidth: true
                        Label {
                            text: row.title
                            font.bold: true
                            font.italic: IsLiveView
                            elide: Text.ElideRight
                            Layout.fillWidth: true
                        }
                        Label {
                            text: row.details
                            color: row.highlighted ? "white" : Theme.muted
                            font.pixelSize: Theme.small
                            elide: Text.ElideRight
                            Layout.fillWidth: true
                        }
                        SprintFigures {
                            Layout.fillWidth: true
                            measurementId: picker.sprintFigures && row.highlighted && AppName === "Sprint" ? MeasurementID : ""
                            color: row.highlighted ? "white" : Theme.muted
                        }
                    }
                }
            }
        }
    }

    EmptyNote {
        objectName: "measurementEmpty"
        anchors.centerIn: parent
        width: parent.width
        visible: list.count === 0
        readonly property string who: allAthletes.checked || session.user === "" ? "" : session.user
        text: who === "" ? (picker.appFilter === "" ? qsTr("No measurements yet. Record and upload one, or import CSV files.")
                                                    : qsTr("No %1 measurements yet.").arg(picker.appFilter))
            : picker.appFilter === "" ? qsTr("No measurements of %1 yet. Tick \"Every athlete\" to see all.").arg(who)
            : qsTr("No %1 measurements of %2 yet.").arg(picker.appFilter).arg(who)
    }
}
