import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import KorvexSkin 1.0
import Korvex 1.0

// The athlete's sprints over time: does the contact time come down, do the
// feet come closer? One point per sprint, grouped by day, and per day the
// means of its sprints.
Page {
    id: screen
    objectName: "sprintProgressScreen"
    background: null
    padding: Theme.gap * 2

    property var points: []
    // Per day, newest first: {day, sprints, bothMs, leftMs, rightMs, differencePercent}.
    property var days: []

    function ms(value) {
        return Number(value).toLocaleString(Qt.locale(), "f", 1) + " ms"
    }
    function mean(list) {
        if (list.length === 0)
            return 0
        var sum = 0
        for (var i = 0; i < list.length; ++i)
            sum += list[i]
        return sum / list.length
    }

    function refresh() {
        points = measurementController.sprintProgress(session.user)
        var byDay = {}
        var order = []
        for (var i = 0; i < points.length; ++i) {
            var p = points[i]
            if (byDay[p.day] === undefined) {
                byDay[p.day] = { day: p.day, both: [], left: [], right: [], difference: [] }
                order.push(p.day)
            }
            var d = byDay[p.day]
            d.both.push(p.bothMs)
            if (p.leftSteps > 0)
                d.left.push(p.leftMs)
            if (p.rightSteps > 0)
                d.right.push(p.rightMs)
            if (p.leftSteps > 0 && p.rightSteps > 0)
                d.difference.push(p.differencePercent)
        }
        var list = []
        for (var k = order.length - 1; k >= 0; --k) {
            var e = byDay[order[k]]
            list.push({ day: e.day, sprints: e.both.length, bothMs: mean(e.both),
                        leftMs: e.left.length > 0 ? mean(e.left) : -1, rightMs: e.right.length > 0 ? mean(e.right) : -1,
                        differencePercent: e.difference.length > 0 ? mean(e.difference) : -1 })
        }
        days = list
    }
    // Reading every sprint may take a moment: after the page had a frame.
    Timer {
        id: refreshTimer
        interval: 30
        onTriggered: screen.refresh()
    }
    Component.onCompleted: refreshTimer.start()
    Connections {
        target: session
        function onUserChanged() { refreshTimer.restart() }
    }
    Connections {
        target: measurementsModel
        function onRowsInserted() { refreshTimer.restart() }
        function onRowsRemoved() { refreshTimer.restart() }
        function onModelReset() { refreshTimer.restart() }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: Theme.gap
        ScreenTitle {
            text: session.user === "" ? qsTr("Sprint progress: every athlete") : qsTr("Sprint progress: %1").arg(session.user)
            hint: qsTr("Mean ground contact time of every sprint and the difference between the feet, oldest first, grouped by day. Lower and closer together is better.")
            Layout.fillWidth: true
        }
        Label {
            objectName: "progressCount"
            Layout.fillWidth: true
            color: Theme.muted
            wrapMode: Text.WordWrap
            text: screen.points.length === 0 ? ""
                : (screen.points.length === 1 ? qsTr("1 sprint") : qsTr("%1 sprints").arg(screen.points.length))
                  + " " + (screen.days.length === 1 ? qsTr("on 1 day") : qsTr("on %1 days").arg(screen.days.length))
                  + (session.user === "" ? " · " + qsTr("Choose an athlete on the Athletes page to see only theirs.") : "")
        }
        GridLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            columns: screen.width > 900 ? 2 : 1
            columnSpacing: Theme.gap
            rowSpacing: Theme.gap
            Rectangle {
                Layout.fillWidth: true
                Layout.fillHeight: true
                Layout.minimumHeight: 220
                color: Theme.surface
                border.color: Theme.border
                radius: Theme.radius
                ProgressPlot {
                    id: plot
                    objectName: "progressPlot"
                    anchors.fill: parent
                    anchors.margins: 4
                    points: screen.points
                    visible: screen.points.length > 0
                }
                EmptyNote {
                    objectName: "progressEmpty"
                    anchors.centerIn: parent
                    width: parent.width
                    visible: screen.points.length === 0
                    text: session.user === "" ? qsTr("No sprints with ground contact times yet. Record and upload one.")
                                              : qsTr("No sprints of %1 with ground contact times yet.").arg(session.user)
                }
            }
            Rectangle {
                Layout.preferredWidth: 300
                Layout.fillWidth: parent.columns === 1
                Layout.fillHeight: parent.columns === 2
                Layout.preferredHeight: parent.columns === 1 ? 160 : -1
                visible: screen.days.length > 0
                color: Theme.surface
                border.color: Theme.border
                radius: Theme.radius
                ColumnLayout {
                    anchors.fill: parent
                    anchors.margins: Theme.gap
                    spacing: 4
                    Label {
                        text: qsTr("Per day")
                        font.bold: true
                        font.pixelSize: Theme.large
                    }
                    ListView {
                        id: dayList
                        objectName: "progressDays"
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        clip: true
                        spacing: Theme.gap
                        model: screen.days
                        ScrollBar.vertical: ScrollBar { }
                        delegate: ColumnLayout {
                            objectName: "progressDay_" + modelData.day
                            width: dayList.width - 10
                            spacing: 0
                            Label {
                                text: Qt.formatDate(Date.fromLocaleString(Qt.locale("C"), modelData.day, "yyyy-MM-dd"), "ddd d MMM yyyy")
                                      + " · " + (modelData.sprints === 1 ? qsTr("1 sprint") : qsTr("%1 sprints").arg(modelData.sprints))
                                font.bold: true
                                Layout.fillWidth: true
                                elide: Text.ElideRight
                            }
                            Label {
                                objectName: "progressDayMeans"
                                text: qsTr("Both %1").arg(screen.ms(modelData.bothMs))
                                      + (modelData.leftMs >= 0 ? " · " + qsTr("L %1").arg(screen.ms(modelData.leftMs)) : "")
                                      + (modelData.rightMs >= 0 ? " · " + qsTr("R %1").arg(screen.ms(modelData.rightMs)) : "")
                                color: Theme.muted
                                font.pixelSize: Theme.small
                                Layout.fillWidth: true
                                wrapMode: Text.WordWrap
                            }
                            Label {
                                objectName: "progressDayDifference"
                                visible: modelData.differencePercent >= 0
                                text: qsTr("Left/right difference %1 %").arg(Number(modelData.differencePercent).toLocaleString(Qt.locale(), "f", 1))
                                color: Theme.muted
                                font.pixelSize: Theme.small
                            }
                        }
                    }
                }
            }
        }
    }
}
