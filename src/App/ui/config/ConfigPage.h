#pragma once
// One tab of the configuration editor: it shows its own keys of the configuration, writes what
// its fields show back into a configuration, and shows the problems found on its keys beside
// their fields. The window owns reading, saving and the modified flag.

#include "config/ConfigKeys.h"
#include "ui/ConfigChecks.h"

#include <QWidget>

class ConfigPage : public QWidget
{
    Q_OBJECT
public:
    explicit ConfigPage(QWidget *parent = nullptr);

    virtual void load(const Configuration &config) = 0;
    // Changes only the keys the page shows; every other key keeps what config held.
    virtual void store(Configuration &config) const = 0;
    // Shows the problems of the page's keys beside their fields and clears the former ones;
    // answers how many it showed.
    virtual int showProblems(const QList<ConfigProblem> &) { return 0; }

signals:
    // Any edit of a field or a row.
    void changed();

protected:
    // Reports the edits of every field built so far through changed().
    void watchFields();
};
