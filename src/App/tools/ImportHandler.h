#pragma once
// Import of saved mails and data files into monthly history files. The walk names every record as
// the live path does, keeps those inside the time range and spreads them over one temporary point
// file (".mitmp") per point as it goes; the temporary files then become ".hdbx" files, next to
// them or, with direct write, merged into the month folders of the destination. Records come batch
// by batch; a source file that fails in the end takes back what it had buffered and written, so
// only files that parsed whole are imported.

#include "tools/HistoryFile.h"
#include "tools/TemporaryPointFiles.h"
#include "tools/ToolNaming.h"
#include "tools/ToolThread.h"

#include <QDateTime>

#include <map>
#include <memory>

// What one import run takes.
struct ImportParams
{
    QDateTime from;        // invalid: that end of the range stays open
    QDateTime to;
    QString sources;       // folders separated by ";"
    QString tempPath;      // temporary files, and the history files without direct write
    bool directWrite = false;
    QString destination;   // the month folders merged into with direct write
};

class ImportHandler : public ToolJob<ImportParams>, private SourceHandler
{
    Q_OBJECT
public:
    // Named records held before they are appended to the temporary files.
    static constexpr qint64 MaxBufferedBytes = 64LL * 1024 * 1024;

    // naming: the settings the records are named with (prefix, options, mapping).
    explicit ImportHandler(const DmsConfig &naming);

protected:
    void prepare() override;
    QString startLogText() const override;
    QString startInfo() const override { return QStringLiteral("Importing..."); }
    void execute() override;
    QString endText() const override;

private:
    void fileStarted(const SourceFile &file) override;
    void records(const SourceFile &file, RecordSink::Batch &batch) override;
    void fileEnded(const SourceFile &file) override;
    void takeBackFile();
    void flushBuffers(bool announce);
    void appendToTemporaryFile(const QString &name, const QByteArray &records, bool inUnit);
    void processTemporaryFile(const TemporaryPointFiles::File &file);
    void mergeIntoMonths(const HistoryFile::ReadResult &temp, const QString &fileName);
    bool readExistingMonth(const QString &target, QList<Orvane::DBData> &merged);

    ToolNaming m_naming;
    qint64 m_stored = 0;
    qint64 m_ignored = 0;
    // Per point name (sorted, case-sensitive): its 20-byte records not yet in its temporary file.
    struct PointBuffer
    {
        QByteArray records;
        quint64 file = 0;        // the last source file that added to it
        qsizetype atFileStart = 0; // its bytes before that file's first record
    };
    std::map<QString, PointBuffer> m_buffers;
    qint64 m_bufferedBytes = 0;
    // The source file being read (numbered from 1), and the counts before it.
    quint64 m_fileNumber = 0;
    bool m_inFile = false;
    qint64 m_fileRecords = 0;
    qint64 m_ignoredBeforeFile = 0;
    // The temporary point files of the run going on.
    std::unique_ptr<TemporaryPointFiles> m_temp;
};
