#pragma once

#include <QString>
#include <QVariant>

class QAbstractItemModel;

// Reads a model's cell by the role's name, the way the scene's delegates
// see it, so that callers never depend on role numbers.
namespace RoleLookup {

// The value of `roleName` in `row` (column 0); invalid for an unknown role
// or a row outside the model.
QVariant value(const QAbstractItemModel& model, int row, const QString& roleName);

} // namespace RoleLookup
