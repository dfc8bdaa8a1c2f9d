#include "Plotting/PlotController.h"

#include "Application/Helper.h"
#include "Data/Measurement.h"
#include "Data/MeasurementController.h"
#include "Data/TrackList.h"
#include "Log/LogCategories.h"
#include "Plotting/SprintPlotter.h"
#include "Plotting/SquatJumpPlotter.h"
#include "Plotting/TrackPlotter.h"

#include <QDebug>
#include <QQmlEngine>

#include <iterator>

PlotController::PlotController(QObject* parent, MeasurementController* measurementController)
    : QObject(parent)
    , m_measurementController(measurementController)
{
    if (measurementController != nullptr)
        connect(measurementController, &MeasurementController::DeviceTrackListChanged, this,
                &PlotController::onDeviceTrackListChanged);
}

PlotController::~PlotController()
{
    const auto plotters = m_plotters.values();
    m_plotters.clear();
    for (const QPointer<TrackPlotter>& plotter : plotters)
        delete plotter.data();
}

QObject* PlotController::getLivePlotter(QString measurementIdStr, QString deviceSerialStr)
{
    TrackList* list = nullptr;
    // A stream is drawn as line graphs, whatever kind of stored result was
    // shown last.
    TrackPlotter* plotter = lookUpPlotter(measurementIdStr, deviceSerialStr, &list, TrackPlotter::Live);
    if (plotter == nullptr)
        return nullptr;
    plotter->setMode(TrackPlotter::Live);
    // Asked for after the stream header was read: the list will not
    // complete again, so the plotter takes it as it stands.
    if (list != nullptr && list->numberOfTracks() > 0)
        plotter->SetupTracks(list);
    return plotter;
}

QObject* PlotController::getStaticPlotter(QString measurementIdStr, QString deviceSerialStr)
{
    TrackList* list = nullptr;
    TrackPlotter* plotter = lookUpPlotter(measurementIdStr, deviceSerialStr, &list, TrackPlotter::Static);
    if (plotter == nullptr)
        return nullptr;
    plotter->setMode(TrackPlotter::Static);
    // No list (an unknown measurement, a device without data): nothing to
    // set up.
    if (list != nullptr)
        plotter->SetupTracks(list);
    // A plotter that was live until now, or whose list is unchanged, draws
    // its whole measurement here.
    plotter->updateGraphs();
    return plotter;
}

void PlotController::releasePlotter(QString measurementIdStr, QString deviceSerialStr)
{
    bool idOk = false;
    bool serialOk = false;
    const quint64 id = measurementIdStr.toULongLong(&idOk, 16);
    const quint64 serial = deviceSerialStr.toULongLong(&serialOk, 16);
    if (!idOk || !serialOk)
        return;
    auto it = m_plotters.find(qMakePair(id, serial));
    if (it != m_plotters.end())
        release(it);
}

void PlotController::release(QMap<QPair<quint64, quint64>, QPointer<TrackPlotter>>::iterator it)
{
    TrackPlotter* plotter = it.value().data();
    m_plotters.erase(it);
    if (plotter == nullptr)
        return;
    qCDebug(lcPlotting) << " Releasing plotter " << plotter;
    plotter->stopUpdate();
    plotter->setParentItem(nullptr);
    plotter->deleteLater();
}

void PlotController::releaseLivePlottersBut(quint64 measurementId)
{
    for (auto it = m_plotters.begin(); it != m_plotters.end();) {
        TrackPlotter* plotter = it.value().data();
        if (it.key().first != measurementId && (plotter == nullptr || plotter->getMode() == TrackPlotter::Live)) {
            auto next = std::next(it);
            release(it);
            it = next;
        } else {
            ++it;
        }
    }
}

void PlotController::setPlotterType(ushort plotterType)
{
    m_plotterType = plotterType;
    qCDebug(lcPlotting) << " set Plotter type to: " << plotterType;
}

void PlotController::setSetupName(QString SetupName)
{
    m_setupName = std::move(SetupName);
}

TrackPlotter* PlotController::plotterFor(quint64 measurementId, quint64 deviceSerial) const
{
    return m_plotters.value(qMakePair(measurementId, deviceSerial)).data();
}

void PlotController::createLivePlotter(QString measurementIdStr, QString deviceSerialStr)
{
    getLivePlotter(measurementIdStr, deviceSerialStr);
    Q_EMIT livePlotterCreated(measurementIdStr, deviceSerialStr);
}

void PlotController::createStaticPlotter(QString measurementIdStr, QString deviceSerialStr)
{
    getStaticPlotter(measurementIdStr, deviceSerialStr);
    Q_EMIT staticPlotterCreated(measurementIdStr, deviceSerialStr);
}

void PlotController::createStaticPlotters(QString measurementIdStr)
{
    const quint64 id = Helper::quint64FromHex(measurementIdStr);
    if (id == 0) {
        qCDebug(lcPlotting) << "Invalid measurement id given to createstaticplotters ";
        return;
    }
    Measurement* measurement = findMeasurement(id);
    if (measurement == nullptr)
        return;
    const QList<quint64> serials = measurement->getDevicesInMeasurement();
    qCDebug(lcPlotting) << " Devices in Measurement " << serials;
    for (quint64 serial : serials)
        createStaticPlotter(measurementIdStr, QString::number(serial, 16));
}

void PlotController::removeLivePlotters()
{
    for (const QPointer<TrackPlotter>& plotter : qAsConst(m_plotters)) {
        if (!plotter.isNull())
            plotter->deleteLater();
    }
    m_plotters.clear();
}

void PlotController::stopUpdate()
{
    for (const QPointer<TrackPlotter>& plotter : qAsConst(m_plotters)) {
        if (!plotter.isNull())
            plotter->stopUpdate();
    }
}

void PlotController::stopLivePlotters(QString measurementIdStr)
{
    bool ok = false;
    const quint64 id = measurementIdStr.toULongLong(&ok, 16);
    if (!ok)
        return;
    for (auto it = m_plotters.constBegin(); it != m_plotters.constEnd(); ++it) {
        TrackPlotter* plotter = it.value().data();
        if (it.key().first != id || plotter == nullptr || plotter->getMode() != TrackPlotter::Live)
            continue;
        plotter->stopUpdate();
        plotter->updateGraphs();
    }
}

void PlotController::onDeviceTrackListChanged(quint64 DeviceSerial, quint64 MeasurementId, TrackList* trackList)
{
    TrackPlotter* plotter = plotterFor(MeasurementId, DeviceSerial);
    if (plotter == nullptr || trackList == nullptr)
        return;
    connect(trackList, &TrackList::complete, plotter, &TrackPlotter::SetupTracks, Qt::UniqueConnection);
}

TrackPlotter* PlotController::lookUpPlotter(const QString& measurementIdStr, const QString& deviceSerialStr,
                                            TrackList** listOut, TrackPlotter::Modes mode)
{
    *listOut = nullptr;
    bool idOk = false;
    bool serialOk = false;
    const quint64 id = measurementIdStr.toULongLong(&idOk, 16);
    const quint64 serial = deviceSerialStr.toULongLong(&serialOk, 16);
    if (!idOk || !serialOk) {
        qCDebug(lcPlotting) << "Get Live plotter was called with invalid measurement or device id.";
        return nullptr;
    }

    const auto key = qMakePair(id, serial);
    TrackPlotter* plotter = m_plotters.value(key).data();
    const bool existing = plotter != nullptr;
    if (existing) {
        qCDebug(lcPlotting) << " returning existing plotter: " << plotter;
    } else {
        if (mode == TrackPlotter::Live)
            releaseLivePlottersBut(id);
        plotter = mode == TrackPlotter::Live ? new TrackPlotter() : newPlotter();
        qCDebug(lcPlotting) << " Created new plotter." << plotter << " MeasurementId: " << measurementIdStr
                            << " deviceSerial " << deviceSerialStr;
        plotter->setSetupName(m_setupName);
    }

    Measurement* measurement = findMeasurement(id);
    if (measurement != nullptr) {
        plotter->setSource(measurement, serial);
        TrackList* list = existingTrackList(measurement, serial);
        *listOut = list;
        if (list != nullptr)
            connect(list, &TrackList::complete, plotter, &TrackPlotter::SetupTracks, Qt::UniqueConnection);
    }

    if (!existing) {
        m_plotters.insert(key, plotter);
        QQmlEngine::setObjectOwnership(plotter, QQmlEngine::CppOwnership);
    }
    return plotter;
}

TrackPlotter* PlotController::newPlotter() const
{
    switch (m_plotterType) {
    case 2:
        return new SquatJumpPlotter();
    case 3:
        return new SprintPlotter();
    default:
        return new TrackPlotter();
    }
}

Measurement* PlotController::findMeasurement(quint64 measurementId) const
{
    if (m_measurementController.isNull())
        return nullptr;
    return m_measurementController->getMeasurementOnHostById(measurementId);
}

TrackList* PlotController::existingTrackList(Measurement* measurement, quint64 deviceSerial)
{
    if (measurement == nullptr || !measurement->getDevicesInMeasurement().contains(deviceSerial))
        return nullptr;
    return measurement->getTrackList(deviceSerial);
}
