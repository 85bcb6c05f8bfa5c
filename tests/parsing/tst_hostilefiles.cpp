// Files no meter writes: XML nested without end, values that are no numbers ("nan", "inf"), time
// stamps outside 1990..2100 and interval steps of zero or less. Each is refused with its text.

#include "parsing/DataParser.h"

#include <QTest>

class TestHostileFiles : public QObject
{
    Q_OBJECT

private slots:
    void refused_data();
    void refused();
};

void TestHostileFiles::refused_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("error");

    const QByteArray ebix = "<?xml version=\"1.0\"?><V xmlns=\"http://www.strom.ch/MeteringData/1p0\"><MeteringData>"
                            "<ConsumptionMeteringPoint><VSENationalID>CH1</VSENationalID></ConsumptionMeteringPoint>"
                            "<Interval><StartDateTime>2024-01-01T00:00:00Z</StartDateTime></Interval>"
                            "<Resolution><Resolution>15</Resolution></Resolution><Observation><Position><Sequence>"
                            "%SEQ%</Sequence></Position><Volume>%VALUE%</Volume></Observation></MeteringData></V>";
    const auto ebixWith = [&](const char *sequence, const char *value) {
        return QByteArray(ebix).replace("%SEQ%", sequence).replace("%VALUE%", value);
    };
    const QByteArray eonLine = "MP;1.29.0;x;15;20240101;1,5;W";

    QTest::newRow("XML 300 deep") << "<?xml version=\"1.0\"?>" + QByteArray("<a>").repeated(300)
            + QByteArray("</a>").repeated(300)
                                  << "XML elements nested deeper than 256 levels";
    QTest::newRow("nan, Eon") << QByteArray("MP;1.29.0;x;15;20240101;nan;W")
                              << "Could not parse value 'nan' , index 5 on line 1 :MP;1.29.0;x;15;20240101;nan;W";
    QTest::newRow("inf, PVSS") << QByteArray("SourceName:;x\nDPName:;A\n2024-01-01 00:15:00;inf")
                               << "Could not parse value: 2024-01-01 00:15:00;inf";
    QTest::newRow("-inf, ebIX") << ebixWith("1", "-inf") << "Could not parse value: -inf";
    QTest::newRow("year 2286, Vattenfall")
        << QByteArray("ID,TIME,NAME,VALUE,UNIT,IDENT,ANLAGENUMMER\n1,9999999999,WMZ Arbeit,1,Wh,I,A")
        << "Time stamp outside the years 1990 to 2100: 9999999999 (1,9999999999,WMZ Arbeit,1,Wh,I,A)";
    QTest::newRow("year 63269, ebIX sequence")
        << ebixWith("2147483647", "1")
        << "Time stamp outside the years 1990 to 2100: 2024-01-01T00:00:00Z + 2147483646 x 15 min";
    QTest::newRow("year 6107, Eon step") << QByteArray("MP;1.29.0;x;2147483647;20240101;1;W")
        << "Time stamp outside the years 1990 to 2100: 6107-01-24T02:07:00 on line 1 :MP;1.29.0;x;2147483647;20240101;1;W";
    QTest::newRow("year 9999, Simple CSV 2") << QByteArray("Zeitstempel;A\n9999-01-01 00:00:00;1")
                                             << "Could not parse timestamp: 9999-01-01 00:00:00";
    QTest::newRow("zero step, Eon") << QByteArray(eonLine).replace(";15;", ";0;")
                                    << "Invalid interval on line 1 :MP;1.29.0;x;0;20240101;1,5;W";
    QTest::newRow("negative step, Eon") << QByteArray(eonLine).replace(";15;", ";-15;")
                                        << "Invalid interval on line 1 :MP;1.29.0;x;-15;20240101;1,5;W";
}

void TestHostileFiles::refused()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, error);
    QString errorText;
    QList<DataParser::ValueRec> values;
    QVERIFY(!DataParser::parse(data, errorText, values, QStringLiteral("-")));
    QCOMPARE(errorText, error);
}

QTEST_GUILESS_MAIN(TestHostileFiles)
#include "tst_hostilefiles.moc"
