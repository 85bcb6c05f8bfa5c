#pragma once
// A window with one line per handled mail (and per skipped check): time, information, data and
// result. Cells show the start of their text; a click opens the whole text in the desktop's
// default application.

#include <QTimer>
#include <QWidget>

class QCheckBox;
class QTableWidget;
class QTableWidgetItem;

class MailMonitor : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kMaxRows = 200;
    static constexpr int kShownChars = 40;

    explicit MailMonitor(const QString &applicationName, QWidget *parent = nullptr);
    ~MailMonitor() override;

    QTableWidget *table() const { return m_table; }
    QCheckBox *hideSuccessful() const { return m_hideSuccessful; }

    // The first kShownChars characters without line breaks, followed by "...".
    static QString shortText(const QString &text);
    // Where a clicked cell's full text is written before it is opened.
    static QString cellFilePath();

signals:
    void sigClosed();

public slots:
    void onMailChecked(QString info, QString data, QString result);
    void onItemClicked(QTableWidgetItem *item);
    void onRefreshTimer();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QString m_settingsKey;
    QTableWidget *m_table;
    QCheckBox *m_hideSuccessful;
    QTimer m_refreshTimer;
};
