import QtQuick 2.15

// What the user has chosen and what is running, kept in one place so every
// screen shows the same thing. The actions that change it live here too, so a
// screen never drives a controller half-way.
QtObject {
    id: session

    property string user: ""
    property string app: ""
    property string setup: ""

    // Setup: idle, running, done or failed.
    property string setupState: "idle"
    property real setupProgress: 0
    property string setupText: ""

    property bool streaming: false
    property bool recording: false
    property string lastRecordingId: ""

    // Uploads: the fraction of the one in progress and an estimate of what is left.
    property real uploadFraction: 0
    property string uploadMeasurement: ""
    property string uploadSensor: ""
    property int pagesAtStart: 0
    property double uploadStartedAt: 0
    property int uploadSecondsLeft: -1
    readonly property bool uploading: uploadController !== null && uploadController.pagesToUpload > 0

    // Erasing: the data-task counter runs down while sensors erase their flash.
    property bool erasing: false
    // The counter starts at the most work the erase announced.
    property int eraseTotal: 0
    readonly property real eraseProgress: erasing && eraseTotal > 0
                                          ? 1 - stateController.numMessages / eraseTotal : 0

    property string lastExportFolder: ""

    signal toast(string text, string kind)

    function selectUser(name) {
        user = name
        stateController.selectUser(name)
    }

    function selectApp(name) {
        app = name
        setup = ""
        stateController.selectApp(name)
        stateController.selectSetup("")
        appManager.userSelectedApp(name)
    }

    // A plan names the setup, the base frequency, the colour (0xRRGGBB) and
    // what each sensor records: {kind: "accel" | ..., dsf: n} or {id: trackId, dsf: n}.
    function applySetup(plan) {
        if (devManager.numDevConnected === 0) {
            toast(qsTr("No sensor is connected. Plug one in or switch it on, then try again."), "error")
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
        liveController.startLiveStream()
        streaming = true
    }

    function stopStream() {
        liveController.stopLiveStream()
        streaming = false
    }

    function startRecording() {
        if (devManager.numDevConnected === 0) {
            toast(qsTr("No sensor is connected, so there is nothing to record."), "error")
            return
        }
        uploadController.startRecording()
        recording = true
        // The new measurement is the newest one on this computer.
        if (measurementsModel.rowCount() > 0)
            lastRecordingId = measurementsModel.data(measurementsModel.index(0, 0), 257)
    }

    function stopRecording() {
        uploadController.stopRecording()
        recording = false
        toast(qsTr("Recording stopped; the data is safe in the sensors until you upload it."), "info")
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

    function erase() {
        erasing = true
        eraseTotal = 0
        uploadController.deleteAllDataBlocks()
        toast(qsTr("Erasing the sensors' memory..."), "info")
    }

    function exportMeasurement(measurementId) {
        measurementController.exportMeasurement(measurementId)
    }

    function formatSeconds(s) {
        if (s < 0)
            return ""
        if (s < 60)
            return qsTr("%1 s left").arg(s)
        return qsTr("%1 min %2 s left").arg(Math.floor(s / 60)).arg(s % 60)
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
        toast(qsTr("Upload of %1 from sensor %2 done.").arg(measurementId).arg(sensor), "good")
    }

    function onSetupProgress(text, progress) {
        setupText = text
        setupProgress = progress
        if (progress >= 1 && setupState === "running")
            setupState = "done"
    }
}
