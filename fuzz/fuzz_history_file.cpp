// Feeds arbitrary bytes to the history-file reader as a ".hdbx" file, then takes the records down
// the export's road: sorted with one record per time, split into months in UTC and in local time.
// The reader must keep every whole record as it stands (written again, they give the same bytes),
// the sort must leave times strictly rising, and every record must fall in the month folder of its
// slice. Run with TZ=Europe/Berlin so that the local months cross clock changes.

#include "tools/HistoryFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

QString folderOf(const Orvane::DBData &record, Qt::TimeSpec spec)
{
    return HistoryFile::monthFolderName(QDateTime::fromSecsSinceEpoch(record.seconds, spec));
}

// Records are sorted, so a slice whose first and last record fall in its month holds only records
// of that month; the next slice must start another month.
void checkMonths(const QList<Orvane::DBData> &records, Qt::TimeSpec spec)
{
    const QList<HistoryFile::MonthSlice> slices = HistoryFile::splitByMonth(records, spec);
    qsizetype next = 0;
    QString previous;
    for (const HistoryFile::MonthSlice &slice : slices) {
        if (slice.begin != next || slice.end <= slice.begin || slice.folderName == previous
            || folderOf(records[slice.begin], spec) != slice.folderName
            || folderOf(records[slice.end - 1], spec) != slice.folderName)
            std::abort();
        next = slice.end;
        previous = slice.folderName;
    }
    if (next != records.size())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("point.hdbx"));
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    {
        // A new file each time: replacing a file's content by truncation makes the file system
        // write it out on close, which slows the run a hundredfold.
        QFile::remove(path);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            std::abort();
    }
    HistoryFile::ReadResult result = HistoryFile::read(path);
    if (result.headerOk != (bytes.size() >= HistoryFile::HeaderSize))
        std::abort();
    if (!result.headerOk)
        return 0;
    const qsizetype body = bytes.size() - HistoryFile::HeaderSize;
    if (result.records.size() != body / HistoryFile::RecordSize || result.tornBytes != body % HistoryFile::RecordSize)
        std::abort();
    QByteArray again;
    for (const Orvane::DBData &record : result.records)
        HistoryFile::appendRecord(again, record);
    if (again != bytes.mid(HistoryFile::HeaderSize, again.size()))
        std::abort();

    HistoryFile::sortUnique(result.records);
    for (qsizetype i = 1; i < result.records.size(); ++i) {
        if (result.records[i - 1].timeMs() >= result.records[i].timeMs())
            std::abort();
    }
    checkMonths(result.records, Qt::UTC);
    checkMonths(result.records, Qt::LocalTime);
    return 0;
}
