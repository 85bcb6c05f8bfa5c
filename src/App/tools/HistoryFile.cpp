#include "tools/HistoryFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace HistoryFile {

QString safeName(const QString &pointName)
{
    QString name = pointName;
    for (QChar &c : name) {
        switch (c.unicode()) {
        case u'\\': case u'/': case u'*': case u'?': case u'"': case u'<': case u'>': case u'|': case u':':
            c = u'_';
            break;
        default:
            break;
        }
    }
    return name;
}

QString monthFolderName(const QDateTime &time)
{
    return time.toString(QStringLiteral("'HDADATA_'yyyyMM"));
}

QByteArray header(const QString &pointName)
{
    QByteArray out(HeaderSize, '\0');
    const QByteArray name = pointName.toLatin1().left(MaxNameBytes);
    std::memcpy(out.data(), name.constData(), size_t(name.size()));
    qToLittleEndian<quint32>(HeaderMark, out.data() + NameFieldSize);
    return out;
}

void appendRecord(QByteArray &out, const Orvane::DBData &r)
{
    char buf[RecordSize];
    qToLittleEndian<quint32>(r.seconds, buf);
    qToLittleEndian<quint16>(r.milliseconds, buf + 4);
    qToLittleEndian<quint16>(r.reserved, buf + 6);
    qToLittleEndian<quint32>(r.state, buf + 8);
    quint64 bits;
    std::memcpy(&bits, &r.value, sizeof bits);
    qToLittleEndian<quint64>(bits, buf + 12);
    out.append(buf, RecordSize);
}

void sortUnique(QList<Orvane::DBData> &records)
{
    std::stable_sort(records.begin(), records.end(),
                     [](const Orvane::DBData &a, const Orvane::DBData &b) { return a.timeMs() < b.timeMs(); });
    qsizetype out = 0;
    for (qsizetype i = 0; i < records.size(); ++i) {
        if (out > 0 && records[out - 1].timeMs() == records[i].timeMs())
            records[out - 1] = records[i];
        else
            records[out++] = records[i];
    }
    records.resize(out);
}

QList<MonthSlice> splitByMonth(const QList<Orvane::DBData> &records, Qt::TimeSpec spec)
{
    QList<MonthSlice> slices;
    qint64 monthStart = 0;
    qint64 monthEnd = -1; // seconds [monthStart, monthEnd) of the current slice
    for (qsizetype i = 0; i < records.size(); ++i) {
        const qint64 s = records[i].seconds;
        if (s >= monthStart && s < monthEnd) {
            slices.last().end = i + 1;
            continue;
        }
        const QDateTime t = QDateTime::fromSecsSinceEpoch(s, spec);
        const QDate first(t.date().year(), t.date().month(), 1);
        // Midnight of the first day is never in a clock-change gap (those are at night's 02:00).
        monthStart = QDateTime(first, QTime(0, 0), spec).toSecsSinceEpoch();
        monthEnd = QDateTime(first.addMonths(1), QTime(0, 0), spec).toSecsSinceEpoch();
        slices.append({monthFolderName(t), i, i + 1});
    }
    return slices;
}

bool writeFile(const QString &path, const QString &pointName, const QList<Orvane::DBData> &records,
               qsizetype begin, qsizetype end)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray out = header(pointName);
    out.reserve(HeaderSize + (end - begin) * RecordSize);
    for (qsizetype i = begin; i < end; ++i)
        appendRecord(out, records[i]);
    return file.write(out) == out.size();
}

ReadResult read(const QString &path)
{
    ReadResult result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    result.opened = true;
    if (file.size() > MaxFileBytes) {
        result.tooLarge = true;
        return result;
    }
    const QByteArray head = file.read(HeaderSize);
    if (head.size() != HeaderSize)
        return result;
    result.headerOk = true;
    result.pointName = QString::fromLatin1(head.constData(), qsizetype(strnlen(head.constData(), NameFieldSize)));

    const QByteArray body = file.readAll();
    const qsizetype count = body.size() / RecordSize;
    result.tornBytes = body.size() % RecordSize;
    result.records.reserve(count);
    const char *p = body.constData();
    for (qsizetype i = 0; i < count; ++i, p += RecordSize) {
        Orvane::DBData r;
        r.seconds = qFromLittleEndian<quint32>(p);
        r.milliseconds = qFromLittleEndian<quint16>(p + 4);
        r.reserved = qFromLittleEndian<quint16>(p + 6);
        r.state = qFromLittleEndian<quint32>(p + 8);
        const quint64 bits = qFromLittleEndian<quint64>(p + 12);
        std::memcpy(&r.value, &bits, sizeof bits);
        result.records.append(r);
    }
    return result;
}

} // namespace HistoryFile
