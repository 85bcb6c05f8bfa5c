#pragma once
// Import of saved mails and data files into monthly history files. The walk names every record as
// the live path does, keeps those inside the time range and spreads them over one temporary point
// file (".mitmp") per point as it goes; the temporary files then become ".hdbx" files, next to
// them or, with direct write, merged into the month folders of the destination.

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

class ImportHandler : public ToolJob<ImportParams>
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
    void handleFile(SourceFile &file);
    void flushBuffers(bool announce);
    void processTemporaryFile(const TemporaryPointFiles::File &file);
    void mergeIntoMonths(const HistoryFile::ReadResult &temp, const QString &fileName);
    bool readExistingMonth(const QString &target, QList<Orvane::DBData> &merged);

    ToolNaming m_naming;
    qint64 m_stored = 0;
    qint64 m_ignored = 0;
    // Per point name (sorted, case-sensitive): its 20-byte records not yet in its temporary file.
    std::map<QString, QByteArray> m_buffers;
    qint64 m_bufferedBytes = 0;
    // The temporary point files of the run going on.
    std::unique_ptr<TemporaryPointFiles> m_temp;
};
