#pragma once
// Small widgets and helpers that several pages of the configuration editor share.

#include "ui/ConfigChecks.h"

#include <QString>
#include <QStringList>

class QComboBox;
class QLabel;
class QSpinBox;
class QWidget;

namespace PageParts {

// A spin box that holds any whole number the file may hold, so that loading never clamps it.
QSpinBox *numberField(QWidget *parent);

// A red label, hidden until it shows a problem.
QLabel *problemLabel(QWidget *parent);

// A field followed by a unit text and, hidden until a check fails, its problem.
QWidget *withSuffix(QWidget *field, const QString &suffix, QLabel *problem = nullptr);

void showProblem(QLabel *label, const QString &problem);

// The text of the problem on group/key, empty when there is none.
QString problemOf(const QList<ConfigProblem> &problems, const QString &group, const QString &key);

// Selects the item whose data is value; a value no item holds is added as an item of its own,
// shown as written, so that saving keeps it.
void selectData(QComboBox *combo, const QVariant &value);

// The import formats' display names by import type, the first ("All") in the window's language.
QStringList formatNames();

} // namespace PageParts
