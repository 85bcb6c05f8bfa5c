#pragma once
// The history file format (".hdbx") and the temporary point files of the import (".mitmp"): one
// data point, a 1024-byte header carrying the point name, then 20-byte trend records, little-endian.
// Import, export and verification all read and write through here.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <cstdint>

namespace Orvane {
// One trend record as it stands in the file (20 bytes).
struct DBData
{
    quint32 seconds = 0;       // since 1970-01-01 00:00 UTC
    quint16 milliseconds = 0;  // 0..999
    quint16 reserved = 0;
    quint32 state = 0;         // dbState word: 2 for a value, + 0x10000 when its state is not 0
    double value = 0.0;

    qint64 timeMs() const { return qint64(seconds) * 1000 + milliseconds; }
    // The first 8 bytes (time and reserved bytes) that identify a record within its file.
    quint64 timeKey() const { return (quint64(seconds) << 32) | (quint64(milliseconds) << 16) | reserved; }
};
} // namespace Orvane

namespace HistoryFile {

inline constexpr int HeaderSize = 1024;
inline constexpr int RecordSize = 20;
inline constexpr int NameFieldSize = 164;
inline constexpr int MaxNameBytes = 161;   // bytes of the name a writer copies
inline constexpr quint32 HeaderMark = 31;  // the 32-bit value at offset 164
inline constexpr quint32 StateValue = 2;
inline constexpr quint32 StateFlagBad = 0x10000;
// Largest history file read (about 50 million records); larger ones are refused unread.
inline constexpr qint64 MaxFileBytes = 1024LL * 1024 * 1024;

// The point name with \ / * ? " < > | : replaced by "_".
QString safeName(const QString &pointName);
// "HDADATA_" + yyyyMM of the time as given (UTC or local time, as the writer reckons months).
QString monthFolderName(const QDateTime &time);

QByteArray header(const QString &pointName);
void appendRecord(QByteArray &out, const Orvane::DBData &record);
// The dbState word of an imported value.
inline quint32 stateWord(int valueState) { return valueState != 0 ? StateValue | StateFlagBad : StateValue; }

// Sorts by time and keeps one record per time: of records with the same time the later one in
// the list wins (stable sort), so the newest value replaces older ones.
void sortUnique(QList<Orvane::DBData> &records);

// A run of records of one calendar month, as [begin, end) indices of a time-sorted list.
struct MonthSlice
{
    QString folderName; // "HDADATA_yyyyMM"
    qsizetype begin = 0;
    qsizetype end = 0;
};
// Splits time-sorted records into months, reckoned in UTC or in local time.
QList<MonthSlice> splitByMonth(const QList<Orvane::DBData> &records, Qt::TimeSpec spec);

// Writes (truncating) one point file: header, then records [begin, end). The folder is created
// with its parents. False when the file cannot be opened or written.
bool writeFile(const QString &path, const QString &pointName, const QList<Orvane::DBData> &records,
               qsizetype begin, qsizetype end);

struct ReadResult
{
    bool headerOk = false;     // false: shorter than the header, unreadable or too large
    bool opened = false;
    bool tooLarge = false;     // larger than MaxFileBytes
    QString pointName;
    QList<Orvane::DBData> records;
    qint64 tornBytes = 0;      // bytes of a short last record (0 when the file ends cleanly)
};
// Reads a whole history or temporary point file. Records after a torn end are none; those
// before it are kept.
ReadResult read(const QString &path);

} // namespace HistoryFile
