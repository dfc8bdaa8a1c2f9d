#include "Data/VectorIndex.h"

VectorIndex::VectorIndex(QString name, unsigned char width, bool isSigned, double scale)
    : m_dataWidth(width)
    , m_signed(isSigned)
    , m_scaleFactor(scale)
    , m_name(std::move(name))
{
}
