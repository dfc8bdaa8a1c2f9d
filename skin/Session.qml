import QtQuick 2.15

// What the user has chosen and what is running, kept in one place so every
// screen shows the same thing. The actions that change it live here too, so a
// screen never drives a controller half-way. Whether something runs is read
// from the controller that runs it, never guessed from a counter.
QtObject {
    id: session
    objectName: "session"

    // The athlete, as the program keeps it (also across restarts).
    readonly property string user: stateController.selectedUser
    property string app: ""
    property string setup: ""

    // Setup: idle, running, done or failed, from the setup's own outcome.
    property string setupState: "idle"
    property real setupProgress: 0
    property string setupText: ""

    readonly property bool setupRunning: setupController.running === true || setupState === "running"
    readonly property bool streaming: liveController.streaming === true
    readonly property bool recording: uploadController.recording === true
    property string lastRecordingId: ""
    // When the running recording started (ms since the epoch), for its timer.
    property double recordingStartedAt: 0
    property int recordingSeconds: 0

    // The plots of the running live view, kept here so that they stay when
    // the Live page is left and come back with it.
    property ListModel livePlots: ListModel { }

    // Uploads: the fraction of the one in progress and an estimate of what is left.
    property real uploadFraction: 0
    property string uploadMeasurement: ""
    property string uploadSensor: ""
    property int pagesAtStart: 0
    property double uploadStartedAt: 0
    property int uploadSecondsLeft: -1
    readonly property bool uploading: uploadController !== null && uploadController.pagesToUpload > 0

    // Erasing, as the erase itself reports it.
    readonly property bool erasing: uploadController.erasing === true
    readonly property real eraseProgress: erasing && uploadController.eraseProgress !== undefined
                                          ? uploadController.eraseProgress : 0

    // The sensor blinking now for "Identify", or "".
    property string identifying: ""
    readonly property bool bluetoothScanning: interfaceManager.bluetoothScanning === true

    // Asking the sensors what they hold: true from the request until every
    // sensor's table is in.
    property bool readingTables: false

    property string lastExportFolder: ""

    // Counts up whenever stored quality figures may have changed (an upload
    // ended, a live view stopped, an export counted them again), so that
    // what shows them reads them again.
    property int qualityRevision: 0
    onStreamingChanged: if (!streaming) qualityRevision++

    // Every note shown, newest last, with the time it was shown.
    property ListModel history: ListModel { }

    // Why a start button of setup, live view or recording is disabled now,
    // or "" when it may start.
    readonly property string setupBlocked: recording ? qsTr("A recording is running. Stop it before you set the sensors up.")
                                         : streaming ? qsTr("The live view is running. Stop it before you set the sensors up.")
                                         : setupRunning ? qsTr("The sensors are being set up.") : ""
    readonly property string streamBlocked: recording ? qsTr("A recording is running. Stop it before you start the live view.")
                                          : setupRunning ? qsTr("Wait until the setup is done.") : ""
    readonly property string recordingBlocked: streaming ? qsTr("The live view is running. Stop it before you record.")
                                             : erasing ? qsTr("Wait until the sensors' memory is erased.")
                                             : setupRunning ? qsTr("Wait until the setup is done.") : ""

    // What the sensors are doing, for the sensor cards and the status line.
    readonly property string activity: recording ? qsTr("recording %1").arg(formatDuration(recordingSeconds))
                                     : streaming ? qsTr("streaming")
                                     : setupRunning ? qsTr("being set up")
                                     : erasing ? qsTr("erasing") : ""

    signal noteShown(string text, string kind)

    // Shows a note, keeps it in the history and writes it to the log.
    function toast(text, kind) {
        history.append({ "text": text, "kind": kind,
                         "time": Qt.formatTime(new Date(), "HH:mm:ss") })
        while (history.count > 500)
            history.remove(0)
        notificationHub.logShown(kind, text)
        noteShown(text, kind)
    }

    function selectUser(name) {
        stateController.selectUser(name)
    }

    // Another app keeps the setup the sensors hold; choosing the same app
    // again changes nothing.
    function selectApp(name) {
        if (name === app)
            return
        app = name
        stateController.selectApp(name)
        appManager.userSelectedApp(name)
    }

    // A plan names the setup, the base frequency, the colour (0xRRGGBB) and
    // what each sensor records: {kind: "accel" | ..., dsf: n} or {id: trackId, dsf: n}.
    function applySetup(plan) {
        if (devManager.numDevConnected === 0) {
            toast(qsTr("No sensor is connected. Plug one in or switch it on, then try again."), "error")
            return false
        }
        if (setupBlocked !== "") {
            toast(setupBlocked, "warning")
            return false
        }
        setup = plan.name
        stateController.selectSetup(plan.name)
        plotController.setSetupName(plan.name)
        setupState = "running"
        setupProgress = 0
        setupText = qsTr("Setting up %1").arg(plan.name)
        setupController.prepareForSetup()
        for (var i = 0; i < plan.tracks.length; ++i)
            addTrack(plan.tracks[i])
        setupController.setBaseFrequency(plan.baseFrequency)
        setupController.setDeviceColor(plan.color)
        setupController.finishSetup()
        return true
    }

    function addTrack(t) {
        switch (t.kind) {
        case "accel": setupController.addRawAccelTracks(t.dsf); break
        case "gyro": setupController.addRawGyroTracks(t.dsf); break
        case "mag": setupController.addRawMagnetoTracks(t.dsf); break
        case "quaternion": setupController.addQuaternionTrack(t.dsf); break
        case "pressure": setupController.addPressureTracks(t.dsf); break
        case "battery": setupController.addBatteryVoltageTrack(t.dsf); break
        case "current": setupController.addChargingCurrentTrack(t.dsf); break
        case "charging": setupController.addChargingStateTrack(t.dsf); break
        case "adc3": setupController.addADCchannel3(t.dsf); break
        case "adc4": setupController.addADCchannel4(t.dsf); break
        default: setupController.addTrackToAllDevs(t.id, t.dsf, 1, 0)
        }
    }

    // The plot kind that suits a measurement of an app.
    function plotterTypeFor(appName) {
        if (appName === "Sprint")
            return 3
        if (appName === "Squat Jump")
            return 2
        return 1
    }

    function startStream() {
        if (streamBlocked !== "") {
            toast(streamBlocked, "warning")
            return
        }
        livePlots.clear()
        liveController.startLiveStream()
    }

    // Whether the plot of a measurement and sensor is one of the live plots.
    function isLivePlot(measurementId, serial) {
        for (var i = 0; i < livePlots.count; ++i) {
            if (livePlots.get(i).measurementId === measurementId && livePlots.get(i).serial === serial)
                return true
        }
        return false
    }

    function stopStream() {
        liveController.stopLiveStream()
    }

    // In ascending serial order, as the feet are paired: the left foot's
    // plot comes first, under its live digits.
    function addLivePlot(measurementId, serial) {
        if (isLivePlot(measurementId, serial))
            return
        var at = 0
        while (at < livePlots.count) {
            var other = livePlots.get(at).serial
            if (other.length > serial.length || (other.length === serial.length && other > serial))
                break
            ++at
        }
        livePlots.insert(at, { "measurementId": measurementId, "serial": serial })
    }

    function startRecording() {
        if (devManager.numDevConnected === 0) {
            toast(qsTr("No sensor is connected, so there is nothing to record."), "error")
            return
        }
        if (recordingBlocked !== "") {
            toast(recordingBlocked, "warning")
            return
        }
        // The id is the one the recording was started with.
        var id = uploadController.startRecording()
        if (typeof id === "string" && id !== "")
            lastRecordingId = id
    }

    function stopRecording() {
        uploadController.stopRecording()
    }

    function upload(measurementId) {
        if (measurementId === "") {
            toast(qsTr("There is no recording to upload yet."), "error")
            return
        }
        uploadMeasurement = measurementId
        uploadFraction = 0
        uploadSecondsLeft = -1
        uploadStartedAt = 0
        uploadController.uploadMeasurement(measurementId)
    }

    function uploadAll(serial) {
        uploadFraction = 0
        uploadSecondsLeft = -1
        uploadStartedAt = 0
        uploadController.uploadEveryRecording(serial)
        toast(qsTr("Uploading every recording of sensor %1, one after another.").arg(serial.toUpperCase()), "info")
    }

    function erase() {
        uploadController.deleteAllDataBlocks()
        toast(qsTr("Erasing the sensors' memory..."), "info")
    }

    function readTables() {
        readingTables = true
        uploadController.uploadMATfromAllDevices()
    }

    // The connected sensors, in the registry's order.
    function onlineSerials() {
        var serials = []
        for (var i = 0; i < devModel.rowCount(); ++i) {
            if (devModel.valueAt(i, "IsOnline") === true)
                serials.push(devModel.valueAt(i, "Name"))
        }
        return serials
    }

    function identify(serials) {
        if (serials.length === 0)
            return
        uploadController.identifySensors(serials)
    }

    function scanBluetooth() {
        interfaceManager.scanBluetoothInterfaces()
        // Without an adapter the scan has ended already, and said why.
        if (bluetoothScanning)
            toast(qsTr("Looking for Bluetooth sensors..."), "info")
    }

    function exportMeasurement(measurementId) {
        measurementController.exportMeasurement(measurementId)
        qualityRevision++
    }

    function qualityOf(measurementId) {
        qualityRevision
        return measurementId === "" ? ({}) : measurementController.dataQuality(measurementId)
    }

    // "1 sensor", "3 sensors": the text for one or for many, with the count
    // in place of %1.
    function counted(n, one, many) {
        var text = n === 1 ? one : many
        return text.indexOf("%1") >= 0 ? text.arg(n) : text
    }

    function formatSeconds(s) {
        if (s < 0)
            return ""
        if (s < 60)
            return qsTr("%1 s left").arg(s)
        return qsTr("%1 min %2 s left").arg(Math.floor(s / 60)).arg(s % 60)
    }

    // m:ss, or h:mm:ss past an hour.
    function formatDuration(s) {
        var h = Math.floor(s / 3600)
        var m = Math.floor(s / 60) % 60
        var sec = s % 60
        var mmss = (h > 0 && m < 10 ? "0" : "") + m + ":" + (sec < 10 ? "0" : "") + sec
        return h > 0 ? h + ":" + mmss : mmss
    }

    function onUploadProgress(sensor, measurementId, fraction) {
        uploadSensor = sensor
        uploadMeasurement = measurementId
        uploadFraction = fraction
        var pages = uploadController.pagesToUpload
        var now = Date.now()
        if (uploadStartedAt === 0 || pages > pagesAtStart) {
            uploadStartedAt = now
            pagesAtStart = pages
            uploadSecondsLeft = -1
        } else if (pagesAtStart > pages && now > uploadStartedAt) {
            var rate = (pagesAtStart - pages) / (now - uploadStartedAt)
            uploadSecondsLeft = Math.ceil(pages / rate / 1000)
        }
    }

    // No page left to fetch: the time estimate starts afresh with the next
    // upload. Whether an upload is done is said by the upload itself.
    function onPagesLeft(pages) {
        if (pages > 0 || uploadStartedAt === 0)
            return
        uploadSecondsLeft = -1
        uploadStartedAt = 0
    }

    // The sensor's part is stored up to its last page and saved.
    function onUploadComplete(sensor, measurementId) {
        qualityRevision++
        toast(qsTr("Upload of %1 from sensor %2 done.").arg(measurementId.toUpperCase()).arg(sensor.toUpperCase()), "good")
    }

    // The reason is often the warning the upload gave just before; the
    // failure is said once, with the reason.
    function onUploadFailed(sensor, measurementId, reason) {
        qualityRevision++
        for (var i = history.count - 1; i >= 0 && i >= history.count - 3; --i) {
            if (history.get(i).text === reason) {
                history.setProperty(i, "kind", "error")
                return
            }
        }
        toast(qsTr("Upload of %1 from sensor %2 failed: %3").arg(measurementId.toUpperCase()).arg(sensor.toUpperCase()).arg(reason), "error")
    }

    function onSetupProgress(text, progress) {
        if (setupState !== "running")
            return
        setupText = text
        setupProgress = progress
    }

    function onSetupDone() {
        setupState = "done"
        setupProgress = 1
        toast(qsTr("Setup done: %1").arg(setup), "good")
    }

    function onSetupFailed() {
        setupState = "failed"
        toast(qsTr("The setup failed: a sensor did not answer or was lost. Check that every sensor is on and try again."), "error")
    }

    onRecordingChanged: {
        if (recording) {
            recordingStartedAt = Date.now()
            recordingSeconds = 0
        } else {
            recordingStartedAt = 0
        }
    }

    property Timer recordingClock: Timer {
        interval: 1000
        repeat: true
        running: session.recording
        onTriggered: session.recordingSeconds = Math.round((Date.now() - session.recordingStartedAt) / 1000)
    }
}
