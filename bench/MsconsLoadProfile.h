#pragma once
// The MSCONS load profile the tool and large-file benches generate: one message per meter, its
// quarter-hour values each with the interval's start and end, times in UTC ("?+00").

#include <QByteArrayList>
#include <QDateTime>

inline QByteArray msconsStamp(const QDateTime &t)
{
    return t.toString(QStringLiteral("yyyyMMddHHmm")).toLatin1() + "?+00:303";
}

// One meter's message of quarter-hour values over `days` days from start.
inline QByteArray msconsMessage(int meter, const QDateTime &start, int days)
{
    const QByteArray ref = "M" + QByteArray::number(meter);
    QByteArrayList s{"UNH+" + ref + "+MSCONS:D:04B:UN:2.2e", "BGM+7+" + ref + "+9", "DTM+137:" + msconsStamp(start),
                     "NAD+MS+9900000000001::293", "NAD+MR+9900000000002::293", "UNS+D", "NAD+DP",
                     "LOC+172+DE00012345678900000000000" + QByteArray::number(100000 + meter),
                     "DTM+163:" + msconsStamp(start), "DTM+164:" + msconsStamp(start.addDays(days)), "LIN+1",
                     "PIA+5+1-1?:1.29.0:SRW"};
    for (int i = 0; i < days * 96; ++i) {
        const QDateTime begin = start.addSecs(i * 900);
        s.append("QTY+220:" + QByteArray::number(double((meter * 7919 + i * 104729) % 100000) / 1000.0, 'f', 3));
        s.append("DTM+163:" + msconsStamp(begin));
        s.append("DTM+164:" + msconsStamp(begin.addSecs(900)));
    }
    s.append("UNT+" + QByteArray::number(s.size() + 1) + '+' + ref);
    return s.join("'\r\n") + "'\r\n";
}
