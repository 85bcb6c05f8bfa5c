#pragma once
// Import of saved mails and data files into monthly history files. The walk names every record as
// the live path does, keeps those inside the time range and spreads them over one temporary point
// file (".mitmp") per point as it goes; the temporary files then become ".hdbx" files, next to
// them or, with direct write, merged into the month folders of the destination.

#include "config/Settings.h"
#include "naming/AksNaming.h"
#include "tools/HistoryFile.h"
#include "tools/SourceWalk.h"
#include "tools/ToolThread.h"

#include <QDateTime>

#include <map>
#include <memory>

class ImportHandler : public ToolThread
{
    Q_OBJECT
public:
    // Named records held before they are appended to the temporary files.
    static constexpr qint64 MaxBufferedBytes = 64LL * 1024 * 1024;

    // naming: the settings the records are named with (prefix, options, mapping).
    explicit ImportHandler(const DmsConfig &naming);

    // Ignored while a run is going. An invalid from or to leaves that end of the range open.
    void startFileImport(const QDateTime &from, const QDateTime &to, const QString &sources,
                         const QString &tempPath, bool directWrite, const QString &destination);

signals:
    void sigImportInfo(QString info);

public slots:
    void onStartFileImport();

private:
    void handleFile(SourceFile &file);
    void flushBuffers(bool announce);
    void processTemporaryFile(const QString &path);

    DmsConfig m_naming;
    std::unique_ptr<AksNaming> m_aks; // one per run, with its mapping cache
    AksNaming::MappingCache m_cache;
    QDateTime m_from;
    QDateTime m_to;
    QString m_sources;
    QString m_tempPath;
    bool m_directWrite = false;
    QString m_destination;

    WalkCounters m_counters;
    qint64 m_stored = 0;
    qint64 m_ignored = 0;
    // Per point name (sorted, case-sensitive): its 20-byte records not yet in its temporary file.
    std::map<QString, QByteArray> m_buffers;
    qint64 m_bufferedBytes = 0;
};
