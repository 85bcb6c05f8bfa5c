#pragma once
// Search of saved mails and data files: every record is named as the live path would name it,
// filtered, and each hit appended as one line to a CSV result file. Hits are written as the records
// come; a file that fails in the end takes its lines back out of the result file, so the result
// shows only files that parsed whole.

#include "tools/ToolNaming.h"
#include "tools/ToolThread.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>

// What one search run looks for.
struct SearchParams
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

class SearchHandler : public ToolJob<SearchParams>, private SourceHandler
{
    Q_OBJECT
public:
    explicit SearchHandler(const DmsConfig &naming);

    // The Value field of a hit: 6 significant digits; nan, inf and -inf for values that are not finite.
    static QString valueText(double value);

protected:
    QString startLogText() const override;
    QString startInfo() const override { return QStringLiteral("Searching..."); }
    void execute() override;
    QString endText() const override;

private:
    void fileStarted(const SourceFile &file) override;
    void records(const SourceFile &file, RecordSink::Batch &batch) override;
    void fileEnded(const SourceFile &file) override;
    void searchRecord(const SourceFile &file, DataParser::ValueRec &rec);
    bool passesFilters(const DataParser::ValueRec &rec) const;
    bool matches(const QString &text, const QString &filter, const QRegularExpression &regex, bool useRegex) const;

    ToolNaming m_naming;
    QRegularExpression m_importRegex;
    QRegularExpression m_mappedRegex;
    double m_value = 0.0;
    QFile m_result;
    qint64 m_ignored = 0;
    qint64 m_found = 0;

    // The file being read: where its lines start and the counts before it, to take it back.
    struct FileMark
    {
        bool started = false;
        qint64 resultPos = 0;
        qint64 found = 0;
        qint64 ignored = 0;
        qint64 records = 0;       // records the file gave so far
        bool typeDecided = false; // the first record's type decides for the whole file
        bool typeIgnored = false;
    } m_file;
};
