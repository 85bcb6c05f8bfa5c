#pragma once
// The DMS / PDBS tab: the connections, the naming prefix, the writing and supervision settings and
// the configured data points, whose Type lists every point type the value path creates.

#include "ui/config/ConfigPage.h"

class QCheckBox;
class QLineEdit;
class QSpinBox;
class RowTable;

class DmsPage : public ConfigPage
{
    Q_OBJECT
public:
    explicit DmsPage(QWidget *parent = nullptr);

    void load(const Configuration &config) override;
    void store(Configuration &config) const override;

    RowTable *table() const { return m_dpTable; }
    QString dmsConnection() const;

public slots:
    void onAddDp();
    void onAddDpTRD();
    void onAddDpALM();

private:
    QLayout *buildSettings();
    QWidget *buildDataPoints();
    void addDp(int row, bool enabled, const QString &aks, const QString &type, const QString &value);

    QLineEdit *m_dmsConnection, *m_pdbsConnection, *m_prefix;
    QCheckBox *m_uppercase, *m_writePdbs, *m_lastToDms, *m_useTrd, *m_checkAlways;
    QSpinBox *m_maxLastUpdate, *m_stateErrorPercent;
    RowTable *m_dpTable;
};
