import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import KorvexSkin 1.0

// Ground contact times as bars, one per step, the means of each foot, and
// the average over the sprints the coach picks (one day of the athlete's
// sprints unless the boxes say otherwise).
Page {
    id: screen
    objectName: "sprintResultsScreen"
    background: null
    padding: Theme.gap * 2

    // The days on which the selected athlete (or anyone) ran recorded sprints, newest first.
    property var days: []
    function collectDays() {
        var seen = {}
        var list = []
        for (var row = 0; row < measurementsModel.rowCount(); ++row) {
            if (measurementsModel.valueAt(row, "AppName") !== "Sprint" || measurementsModel.valueAt(row, "IsLiveView") === true)
                continue
            if (!picker.filter || (picker.filter.userName !== "" && measurementsModel.valueAt(row, "UserName") !== picker.filter.userName))
                continue
            var day = measurementsModel.valueAt(row, "Day")
            if (day && seen[day] !== true) {
                seen[day] = true
                list.push(day)
            }
        }
        list.sort().reverse()
        // The day shown stays chosen, "All days" too; at first, or when the
        // day shown has no sprint left, the newest day is shown.
        var shown = dayBox.currentIndex > 0 ? days[dayBox.currentIndex - 1] : null
        var first = days.length === 0
        days = list
        if (shown !== null && list.indexOf(shown) >= 0)
            dayBox.currentIndex = list.indexOf(shown) + 1
        else if (first || shown !== null)
            dayBox.currentIndex = list.length > 0 ? 1 : 0
        else
            dayBox.currentIndex = 0
    }
    Component.onCompleted: collectDays()
    Connections {
        target: measurementsModel
        function onRowsInserted() { screen.collectDays() }
        function onRowsRemoved() { screen.collectDays() }
        function onModelReset() { screen.collectDays() }
    }
    Connections {
        target: picker.filter
        function onUserNameChanged() { screen.collectDays() }
    }

    function average() {
        var ids = picker.checkedIds()
        if (ids.length === 0) {
            session.toast(qsTr("Tick the sprints to average first."), "warning")
            return
        }
        var made = processorController.averageSprints(ids, feedback.text)
        if (made === "" || made === undefined) {
            session.toast(qsTr("None of the %1 sprints picked has ground contact times to average.").arg(ids.length), "warning")
            return
        }
        session.toast(session.counted(ids.length, qsTr("Averaged %1 sprint: the average is measurement %2."), qsTr("Averaged %1 sprints: the average is measurement %2.")).arg(made.toUpperCase()), "good")
        // The average is listed with the athlete's sprints of today; show it.
        dayBox.currentIndex = 0
        picker.selectedId = made
        summary.measurementId = made
        plot.showStored(made, "", 3)
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: Theme.gap
        ScreenTitle {
            text: qsTr("Sprint results")
            hint: qsTr("Pick a sprint to see its ground contact times, one bar per step. Tick the sprints of a series and average them.")
            Layout.fillWidth: true
        }
        Flow {
            Layout.fillWidth: true
            spacing: Theme.gap
            ComboBox {
                id: dayBox
                objectName: "sprintDay"
                model: [qsTr("All days")].concat(screen.days)
                width: 150
                Accessible.name: qsTr("Day of the sprints")
            }
            Label {
                text: qsTr("Feedback runs")
                height: dayBox.height
                verticalAlignment: Text.AlignVCenter
            }
            TextField {
                id: feedback
                objectName: "feedbackRuns"
                placeholderText: qsTr("e.g. 2-4-6")
                validator: RegularExpressionValidator { regularExpression: /^[0-9]*(-[0-9]*)*$/ }
                width: 110
                Accessible.name: qsTr("Feedback runs, numbers separated by dashes")
            }
            Button {
                objectName: "gctAverage"
                readonly property int picked: {
                    picker.count
                    picker.unchecked
                    return picker.checkedIds().length
                }
                text: picked === 1 ? qsTr("Average 1 sprint") : qsTr("Average %1 sprints").arg(picked)
                highlighted: true
                enabled: picked > 0
                onClicked: screen.average()
            }
            Button {
                objectName: "showProgress"
                text: qsTr("Progress over time")
                ToolTip.visible: hovered
                ToolTip.text: qsTr("The athlete's sprints day by day: contact times and the difference between the feet.")
                onClicked: window.showPage("Sprint/Progress.qml")
            }
        }
        // On a low window the list, the plots and the figures scroll
        // rather than squeeze the plots to a few lines each.
        Flickable {
            id: scroller
            objectName: "sprintResultsScroll"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            boundsBehavior: Flickable.StopAtBounds
            contentWidth: width
            // Reckoned from the parts rather than read from the layout, whose
            // size this sets.
            contentHeight: Math.max(height, (body.columns === 1 ? 150 + body.rowSpacing : 0)
                                    + (results.figuresBeside ? Math.max(plot.neededHeight, summary.implicitHeight)
                                                             : plot.neededHeight + results.rowSpacing + summary.implicitHeight))
            // Shown while there is more to scroll to, not only on the move.
            ScrollBar.vertical: ScrollBar {
                policy: ScrollBar.AlwaysOn
                visible: scroller.contentHeight > scroller.height + 1
            }
            GridLayout {
                id: body
                // The scroll bar stands over the right edge: a width that
                // made room for it would change what there is to scroll.
                width: scroller.width
                height: scroller.contentHeight
                columns: screen.width > 760 ? 2 : 1
                MeasurementPicker {
                    id: picker
                    appFilter: "Sprint"
                    liveViews: false
                    checkable: true
                    day: dayBox.currentIndex > 0 ? screen.days[dayBox.currentIndex - 1] : ""
                    Layout.preferredWidth: 280
                    Layout.fillWidth: parent.columns === 1
                    Layout.fillHeight: true
                    // Stacked above the plot, the list keeps room for a few rows.
                    Layout.minimumHeight: parent.columns === 1 ? 150 : 0
                    Layout.maximumHeight: parent.columns === 1 ? 150 : 100000
                    onPicked: {
                        plot.showStored(measurementId, setupName, 3)
                        summary.measurementId = measurementId
                    }
                    onSelectedIdChanged: if (selectedId === "") summary.measurementId = ""
                }
                GridLayout {
                    id: results
                    // The figures beside the plots where both keep a useful
                    // width; else below them, across the page.
                    readonly property bool figuresBeside: body.width - (body.columns === 2 ? 280 + body.columnSpacing : 0) >= 620
                    columns: figuresBeside ? 2 : 1
                    columnSpacing: Theme.gap
                    rowSpacing: Theme.gap
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    PlotArea {
                        id: plot
                        cellMinimumHeight: 210
                        layoutWidth: body.width - (body.columns === 2 ? 280 + body.columnSpacing : 0)
                                     - (results.figuresBeside ? 270 + results.columnSpacing : 0)
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        Layout.minimumHeight: Math.max(neededHeight, results.figuresBeside ? summary.implicitHeight : 0)
                    }
                    SprintSummary {
                        id: summary
                        Layout.alignment: Qt.AlignTop
                        Layout.preferredWidth: results.figuresBeside ? 270 : -1
                        Layout.fillWidth: !results.figuresBeside
                        Layout.preferredHeight: implicitHeight
                    }
                }
            }
        }
    }
}
