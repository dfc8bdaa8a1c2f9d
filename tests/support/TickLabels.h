#pragma once

#include <QStringList>

class QCPAxis;

// The tick labels an axis drew at its last replot, and where they stand:
// each centred on its tick, as large as its text in the axis' tick font.
namespace TickLabels {

// The labels' texts, in the order of their ticks, joined by spaces (a label
// of two lines with "|" between them).
QString texts(const QCPAxis& axis);

// Every pair of neighbouring labels that overlap or touch, as "a / b".
QStringList crowded(const QCPAxis& axis);

} // namespace TickLabels
