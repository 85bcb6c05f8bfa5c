// Time stamps on the two clock-change nights of Europe/Zurich in 2024: on 31 March local 02:00 to
// 03:00 does not exist, on 27 October it happens twice. A time with a zone (or read as UTC) is an
// instant and is read exactly; a local time the clock skips is moved past the gap.

#include "ParsingTestSupport.h"

#include <QTest>

#include <ctime>

class TestClockChange : public QObject
{
    Q_OBJECT

private slots:
    void readings_data();
    void readings();
};

void TestClockChange::readings_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("utc");

    // Each file holds one reading at 02:30 of the night; {M} and {D} stand for month and day.
    const QByteArray mpoLine = ParsingTestSupport::readSample(QStringLiteral("mpo_csv_02/mpo02_loadprofile.txt"))
                                   .split('\n')
                                   .at(1)
                                   .mid(34);
    const struct {
        const char *name;
        QByteArray text;
        bool zoned;  // the digits name UTC or carry an offset of 0
    } files[] = {
        {"MSCONS 303", "UNB+UNOC:3+S+R'UNH+1+MSCONS'BGM+7+1+9'LOC+172+MP'PIA+5+1-1?:1.29.0:SRW'QTY+220:1'"
                       "DTM+164:2024{M}{D}0230?+00:303'UNT+7+1'UNZ+1+1'", true},
        {"MSCONS 205", "UNB+UNOC:3+S+R'UNH+1+MSCONS'BGM+7+1+9'LOC+172+MP'PIA+5+1-1?:1.29.0:SRW'QTY+220:1'"
                       "DTM+164:2024{M}{D}0230?+0000:205'UNT+7+1'UNZ+1+1'", true},
        {"ebIX VSE", "<?xml version=\"1.0\"?><V xmlns=\"http://www.strom.ch/MeteringData/1p0\"><MeteringData>"
                     "<ConsumptionMeteringPoint><VSENationalID>CH1</VSENationalID></ConsumptionMeteringPoint>"
                     "<Interval><StartDateTime>2024-{M}-{D}T02:30:00Z</StartDateTime></Interval>"
                     "<Resolution><Resolution>15</Resolution></Resolution><Observation><Position><Sequence>1"
                     "</Sequence></Position><Volume>1</Volume></Observation></MeteringData></V>", true},
        {"LertesBox", "<?xml version=\"1.0\"?><rmcu><ID>R</ID><ch ID=\"C\"><VALUE datetime=\"2024-{M}-{D}T02:30Z\">"
                      "<W>1</W></VALUE></ch></rmcu>", true},
        {"LertesBox without zone", "<?xml version=\"1.0\"?><rmcu><ID>R</ID><ch ID=\"C\">"
                                   "<VALUE datetime=\"2024-{M}-{D}T02:30:00\"><W>1</W></VALUE></ch></rmcu>", true},
        {"MPO CSV 02", "2024{M}{D}023000+002024{M}{D}021500+00" + mpoLine, true},
        {"Simple CSV 1", "Datum;Zeit;A\n2024/{M}/{D};02:30:00;1", true},
        {"Simple CSV 2", "Zeitstempel;A\n2024-{M}-{D} 02:30:00;1", true},
        {"MeteoSchweiz", "stn;time;tre200h0\nSMA;2024{M}{D}0230;1", true},
        {"Froeschl", "Kanal-Information\nBeschreibung;P\nBeschreibung;Q\nGer\xE4tenummer;7\n{D}.{M}.2024;02:30;1", true},
        {"MSD", ";;Z\n;;D\n;;x\n;;x\n;;1.8.0\n{D}.{M}.2024;02:30:00;1", true},
        {"SingleMeterpoint", "{D}.{M}.2024 02:30:00;1", true},
        {"Pirel-Portal with zone", ";A\n;kWh\n2024-{M}-{D}T02:30:00Z;1", true},
        {"MSCONS 203 local", "UNB+UNOC:3+S+R'UNH+1+MSCONS'BGM+7+1+9'LOC+172+MP'PIA+5+1-1?:1.29.0:SRW'QTY+220:1'"
                             "DTM+164:2024{M}{D}0230:203'UNT+7+1'UNZ+1+1'", false},
        {"PVSS local", "SourceName:;x\nDPName:;A\n2024-{M}-{D} 02:30:00;1", false},
        {"Pirel-Portal local", ";A\n;kWh\n2024-{M}-{D}T02:30:00;1", false},
    };
    for (const auto &file : files) {
        for (const bool spring : {true, false}) {
            QByteArray data = file.text;
            data.replace("{M}", spring ? "03" : "10").replace("{D}", spring ? "31" : "27");
            // A zoned reading is 02:30 UTC. A local 02:30 that the clock skips is read at the
            // winter offset (03:30 summer time); one that happens twice is taken at its first
            // occurrence (summer time), as Qt takes it.
            const QString night = QLatin1String(spring ? "2024-03-31T" : "2024-10-27T");
            const QString utc = night + QLatin1String(file.zoned ? "02:30:00Z" : spring ? "01:30:00Z" : "00:30:00Z");
            QTest::addRow("%s, %s", file.name, spring ? "spring" : "autumn") << data << utc;
        }
    }
}

void TestClockChange::readings()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, utc);
    QString errorText;
    QList<DataParser::ValueRec> values;
    QVERIFY2(DataParser::parse(data, errorText, values, QStringLiteral("-")), qPrintable(errorText));
    QCOMPARE(values.first().timestamp.toUTC().toString(Qt::ISODate), utc);
}

int main(int argc, char **argv)
{
    // Before anything reads the clock: the zone whose clock changes are tested.
    qputenv("TZ", "Europe/Zurich");
    tzset();
    QCoreApplication app(argc, argv);
    TestClockChange test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_clockchange.moc"
