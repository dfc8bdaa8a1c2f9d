#include "Application/Korvex.h"

#include "Log/LogCategories.h"

#include <QDateTime>
#include <QDebug>
#include <QMetaType>
#include <QSerialPort>

Korvex::Korvex(QObject* parent)
    : QObject(parent)
{
    // Identifiers come from this generator; the seed is the millisecond of the second.
QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED
    qsrand(static_cast<uint>(QTime::currentTime().msec()));
QT_WARNING_POP

    RegisterCutomTypes();
}

Korvex::~Korvex()
{
    qCDebug(lcApp) << "In Korvex destructor.";
    qCDebug(lcApp) << "Korvex destructor done.";
}

void Korvex::RegisterCutomTypes()
{
    qRegisterMetaType<QSerialPort::SerialPortError>("QSerialPort::SerialPortError");
}
