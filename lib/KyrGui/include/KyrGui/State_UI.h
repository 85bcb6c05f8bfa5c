#pragma once
// The state window: one row per subsystem of a driver with a coloured kind and a text, the path
// of the log file below. Rows are handed over one at a time or as a whole list; a right click on
// a row asks the owner for a context menu, closing the window tells the owner.

#include <QList>
#include <QPoint>
#include <QString>
#include <QWidget>

class QLabel;
class QTableWidget;

namespace Kyr {

class State_UI : public QWidget
{
    Q_OBJECT
public:
    enum Kind { KindOk = 1, KindInactive = 2, KindInProgress = 3, KindError = 4 };

    struct StateRecord
    {
        int idx = 0;
        int subIdx = -1;
        QString name;
        int kind = KindOk;
        QString text;
    };

    explicit State_UI(const QString &logFilePath, QWidget *parent = nullptr);

    // Replaces all rows.
    void setStates(const QList<StateRecord> &records);
    // Updates the row of the record's index (added when missing).
    void setState(const StateRecord &record);
    QList<StateRecord> states() const { return m_records; }

    static QString kindText(int kind);

signals:
    void sigClosed();
    void sigContextMenuRequested(int idx, int subIdx, const QPoint &pos);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showRow(int row);

    QList<StateRecord> m_records;
    QTableWidget *m_table;
    QLabel *m_logLabel;
};

} // namespace Kyr
