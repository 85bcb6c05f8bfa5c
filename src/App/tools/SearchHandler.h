#pragma once
// Search of saved mails and data files: every record is named as the live path would name it,
// filtered, and each hit appended as one line to a CSV result file.

#include "config/Settings.h"
#include "naming/AksNaming.h"
#include "tools/SourceWalk.h"
#include "tools/ToolThread.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>

#include <memory>

// What one search run looks for.
struct SearchParameters
{
    QDateTime from;            // invalid: open range
    QDateTime to;
    QString sources;           // folders separated by ";"
    QString fileFilter;        // part of every file and folder name walked
    QString importFilter;      // import identifier: equal, or a regular expression with the flag
    bool importRegex = false;
    QString mappedFilter;      // DMS point name, the same way
    bool mappedRegex = false;
    QString valueText;         // the value as a number text
    QString unitText;
    QList<int> importTypes{0}; // import types searched; 0 means all
    QString resultFile;
};

class SearchHandler : public ToolThread
{
    Q_OBJECT
public:
    explicit SearchHandler(const DmsConfig &naming);

    // Ignored while a run is going. Invalid from or to leave that end open; importTypes holding 0
    // searches every format.
    void startFileSearch(const QDateTime &from, const QDateTime &to, const QString &sources, const QString &fileFilter,
                         const QString &importFilter, bool importRegex, const QString &mappedFilter, bool mappedRegex,
                         const QString &valueText, const QString &unitText, const QList<int> &importTypes,
                         const QString &resultFile);

    // The Value field of a hit: 6 significant digits; nan, inf and -inf for values that are not finite.
    static QString valueText(double value);

signals:
    void sigSearchInfo(QString info);

public slots:
    void onStartFileSearch();

private:
    void searchFile(SourceFile &file);
    bool matches(const QString &text, const QString &filter, const QRegularExpression &regex, bool useRegex) const;

    DmsConfig m_naming;
    SearchParameters m_p;
    std::unique_ptr<AksNaming> m_aks;
    AksNaming::MappingCache m_cache;
    QRegularExpression m_importRegex;
    QRegularExpression m_mappedRegex;
    double m_value = 0.0;
    QFile m_result;
    WalkCounters m_counters;
    qint64 m_ignored = 0;
    qint64 m_found = 0;
};
