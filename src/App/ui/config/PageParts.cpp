#include "ui/config/PageParts.h"

#include "parsing/DataParser.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>

#include <limits>

namespace PageParts {

QSpinBox *numberField(QWidget *parent)
{
    auto *box = new QSpinBox(parent);
    box->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    box->setMaximumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("0000000000000")));
    return box;
}

QLabel *problemLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setStyleSheet(QStringLiteral("color: #c82828;"));
    label->setWordWrap(true);
    label->hide();
    return label;
}

QWidget *withSuffix(QWidget *field, const QString &suffix, QLabel *problem)
{
    auto *box = new QWidget(field->parentWidget());
    auto *row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(field);
    if (!suffix.isEmpty())
        row->addWidget(new QLabel(suffix, box));
    if (problem)
        row->addWidget(problem);
    row->addStretch(1);
    return box;
}

void showProblem(QLabel *label, const QString &problem)
{
    label->setText(problem);
    label->setVisible(!problem.isEmpty());
}

QString problemOf(const QList<ConfigProblem> &problems, const QString &group, const QString &key)
{
    for (const ConfigProblem &problem : problems) {
        if (problem.group == group && problem.key == key)
            return problem.text;
    }
    return {};
}

void selectData(QComboBox *combo, const QVariant &value)
{
    int index = combo->findData(value);
    if (index < 0) {
        combo->addItem(value.toString(), value);
        index = combo->count() - 1;
    }
    combo->setCurrentIndex(index);
}

QStringList formatNames()
{
    QStringList names = DataParser::displayNames();
    names.first() = QCoreApplication::translate("PageParts", "All");
    return names;
}

} // namespace PageParts
