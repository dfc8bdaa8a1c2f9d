#pragma once

#include <QString>

// One component of a vector track: how wide it is in a sample, whether it is
// signed, and the factor that turns its raw integer into a physical value.
class VectorIndex
{
public:
    VectorIndex(QString name, unsigned char width, bool isSigned, double scale);

    quint8 getDataWidth() const { return m_dataWidth; }
    bool isSigned() const { return m_signed; }
    double getScaleFactor() const { return m_scaleFactor; }
    QString getName() const { return m_name; }

private:
    quint8 m_dataWidth;
    bool m_signed;
    double m_scaleFactor;
    QString m_name;
};
