#pragma once
// A window that lists values as they pass: as read from mails, or as written to the database.
// Newest row on top, at most kMaxRows rows; a burst of values is inserted without sorting, and
// the refresh timer fits the columns and sorts again once the burst is over. A right click on a
// row offers the curve of its point.

#include "parsing/DataParser.h"

#include <QTimer>
#include <QWidget>

class QTableWidget;

class DataMonitor : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kMaxRows = 800;

    // name: the English text of the menu item that opened the monitor; it keys the stored geometry
    // and is the title unless a title (the menu item's translated text) is given.
    DataMonitor(const QString &applicationName, const QString &name, const QString &title = {},
                QWidget *parent = nullptr);
    ~DataMonitor() override;

    QTableWidget *table() const { return m_table; }

    // "12.5 (kWh) [+]": value with up to 15 significant digits in the chosen locale, unit,
    // interval-amount mark.
    static QString valueText(const DataParser::ValueRec &rec);
    // The write reason of the low byte of dbState, with " [INV]" for the invalid bit.
    static QString dbStateText(quint32 dbState);
    // The DMS point of a row: after "->" when the import identifier is shown before it.
    QString pointOfRow(int row) const;

signals:
    void sigClosed();
    void sigTrendRequested(const QString &point);

public slots:
    void onValueFromMail(DataParser::ValueRec valueRec);
    void onValueToDb(DataParser::ValueRec valueRec, quint32 dbState);
    void onRefreshTimer();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void addRow(const QString &point, const DataParser::ValueRec &rec, const QString &state);
    void onTableMenu(const QPoint &pos);

    QString m_settingsKey;
    QTableWidget *m_table;
    QTimer m_refreshTimer;
};
