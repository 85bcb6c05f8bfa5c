// The process-database client library against its embedded point store: typed points, answers
// and messages, the SQLite file across a restart, trend rows, the link hooks and the control's
// time-out; the store's promises: errors reported, and nothing lost that a commit barrier
// acknowledged, even when the writing process is killed.

#include "KyrIpc/DmsAccess.h"
#include "KyrIpc/DmsControl.h"
#include "KyrIpc/PdbsAccess.h"
#include "KyrIpc/PointStore.h"
#include "../common/JsonCases.h"
#include "../common/ProcessRunner.h"

#include <sqlite3.h>

#include <QSignalSpy>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using Orvane::Message;
using Orvane::PointStore;
using Orvane::StoreFile;

namespace {

const QString casesFile = QStringLiteral("tests/data/dms/cases.json");

// Keeps the messages of a DMS or PDBS connection.
template<typename Access>
class InboxOf : public Access::MessageHandler
{
public:
    void messageReceived(Access *, Message *message) override
    {
        messages.append(*message);
        delete message;
    }
    QList<Message> messages;
};
using Inbox = InboxOf<DmsAccess>;
using TrendInbox = InboxOf<PdbsAccess>;

} // namespace

class TestPointStore : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_project = std::make_unique<QTemporaryDir>();
        qputenv("ORVANE_CURRENT_PROJECT_LOCATION", (m_project->path() + u'/').toUtf8());
        PointStore::restartAll();
    }

    // Size and field offsets of a message are fixed at compile time (static_assert in Message.h);
    // the point name is cut to 161 bytes of Latin-1 and ends with a NUL byte.
    void messagePointName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("stored");
        QTest::newRow("161 bytes") << QString(161, u'A') << QString(161, u'A');
        QTest::newRow("cut to 161 bytes") << QString(200, u'B') << QString(161, u'B');
        QTest::newRow("latin-1") << QString::fromUtf8("Zähler:Wärme") << QString::fromUtf8("Zähler:Wärme");
    }

    void messagePointName()
    {
        QFETCH(QString, name);
        QFETCH(QString, stored);
        Message message;
        message.setPointName(name);
        QCOMPARE(QString::fromLatin1(message.pointName), stored);
        QCOMPARE(message.pointName[stored.size()], '\0');
        QCOMPARE(message.point(), stored);
    }

    void typedPoints_data() { JsonCases::addRows(casesFile, QStringLiteral("typed points")); }

    void typedPoints()
    {
        QFETCH(QJsonObject, row);
        const int type = Orvane::pointTypeFromName(row["type"].toString());
        const QVariant value = row["value"].toVariant();
        DmsAccess dms(QStringLiteral("Sync"));
        QCOMPARE(dms.ConnectDms(QStringLiteral("local"), nullptr, true, 120000), 0);
        const QString point = QStringLiteral("Site:Meter:") + Orvane::pointTypeName(type);
        QCOMPARE(dms.ReadType(point), 0);
        QCOMPARE(dms.CreatePoint(point, type, 10, true, -1), 0);
        QCOMPARE(dms.ReadType(point), type);
        const QDateTime stamp = QDateTime::fromString(QStringLiteral("2026-03-01T12:15:00Z"), Qt::ISODate);
        int answer = -99;
        switch (type) {
        case Orvane::BIT: answer = dms.SendBit(point, value.toBool(), stamp, 10, true); break;
        case Orvane::BYS: answer = dms.SendBys(point, qint8(value.toLongLong()), stamp, 10, true); break;
        case Orvane::WOS: answer = dms.SendWos(point, qint16(value.toLongLong()), stamp, 10, true); break;
        case Orvane::DWS: answer = dms.SendDws(point, qint32(value.toLongLong()), stamp, 10, true); break;
        case Orvane::BYU: answer = dms.SendByu(point, quint8(value.toLongLong()), stamp, 10, true); break;
        case Orvane::WOU: answer = dms.SendWou(point, quint16(value.toLongLong()), stamp, 10, true); break;
        case Orvane::DWU: answer = dms.SendDwu(point, quint32(value.toLongLong()), stamp, 10, true); break;
        case Orvane::FLT: answer = dms.SendFlt(point, value.toDouble(), stamp, 10, true); break;
        case Orvane::STR: answer = dms.SendStr(point, value.toString(), stamp, 10, true); break;
        }
        QCOMPARE(answer, 0);
        const auto stored = PointStore::forConnection(QStringLiteral("local"))->point(point);
        QVERIFY(stored);
        QCOMPARE(stored->value, value);
        QCOMPARE(stored->stampMs, stamp.toMSecsSinceEpoch());

        // The typed reads answer only for their own type.
        QDateTime readStamp;
        bool bit = false;
        qint32 dws = 0;
        quint32 dwu = 0;
        double flt = 0;
        QString str;
        QCOMPARE(dms.ReadBit(point, bit, &readStamp) == 0, type == Orvane::BIT);
        QCOMPARE(dms.ReadDws(point, dws, &readStamp) == 0, type == Orvane::DWS);
        QCOMPARE(dms.ReadDwu(point, dwu, &readStamp) == 0, type == Orvane::DWU);
        QCOMPARE(dms.ReadFlt(point, flt, &readStamp) == 0, type == Orvane::FLT);
        QCOMPARE(dms.ReadStr(point, str, &readStamp) == 0, type == Orvane::STR);
        if (type == Orvane::DWS)
            QCOMPARE(qint64(dws), value.toLongLong());
        if (type == Orvane::DWU)
            QCOMPARE(qint64(dwu), value.toLongLong());
        if (type == Orvane::FLT)
            QCOMPARE(flt, value.toDouble());
        if (type == Orvane::STR)
            QCOMPARE(str, value.toString());
        if (type == Orvane::BIT || type == Orvane::DWS || type == Orvane::DWU || type == Orvane::FLT || type == Orvane::STR)
            QCOMPARE(readStamp, stamp);

        // Creating it again with another type replaces it with a zero value.
        const int other = type == Orvane::STR ? Orvane::BIT : Orvane::STR;
        QCOMPARE(dms.CreatePoint(point, other, 10, true, -1), 0);
        QCOMPARE(dms.ReadType(point), other);
    }

    void writeAnswers_data() { JsonCases::addRows(casesFile, QStringLiteral("write answers")); }

    void writeAnswers()
    {
        QFETCH(QJsonObject, row);
        const QString point = row["point"].toString();
        const int answer = row["answer"].toInt();
        const double value = row["value"] == QLatin1String("nan") ? qQNaN() : row["value"].toDouble();
        const auto store = PointStore::forConnection(QStringLiteral("local"));
        store->setPoint(QStringLiteral("Site:Flt"), Orvane::FLT, 1.0);
        store->setPoint(QStringLiteral("Site:Str"), Orvane::STR, QStringLiteral("x"));
        if (row["failing"].toBool())
            store->setFailingWrites({point});
        Inbox inbox;
        DmsAccess dms(QStringLiteral("Sync"));
        QCOMPARE(dms.ConnectDms(QStringLiteral("local"), &inbox, true, 120000), 0);
        QCOMPARE(dms.SendFlt(point, value, 10, true), answer);
        if (answer == 0) {
            QCOMPARE(store->point(point)->value, QVariant(2.5));
            QTest::qWait(20);
            QVERIFY(inbox.messages.isEmpty());
            return;
        }
        QTRY_COMPARE(inbox.messages.size(), 1);
        QCOMPARE(inbox.messages.first().answerCode, answer);
        QCOMPARE(inbox.messages.first().subCode, int(Message::FailedOnWrite));
        QCOMPARE(inbox.messages.first().point(), point);
        if (store->readType(point))
            QVERIFY(store->point(point)->value != QVariant(2.5));
    }

    // (Changes sent to a registered point, and Unregister: tst_dmshandler's probe and logout.)
    void registration()
    {
        const auto store = PointStore::forConnection(QStringLiteral("local"));
        Inbox inbox;
        DmsAccess async(QStringLiteral("Async"));
        async.ConnectDms(QStringLiteral("local"), &inbox, false, 120000);
        QCOMPARE(async.Register(QStringLiteral("System:Prog:WatchDog:Period"), -65534, false), 0);
        QCOMPARE(async.Register(QStringLiteral("Nowhere"), -65534, false), 0);
        QTRY_COMPARE(inbox.messages.size(), 2);
        QCOMPARE(inbox.messages.at(0).answerCode, 0);
        QCOMPARE(inbox.messages.at(0).tag, -65534);
        QCOMPARE(inbox.messages.at(0).value, 20);
        QCOMPARE(inbox.messages.at(1).answerCode, int(Message::PointDoesNotExist));
        QCOMPARE(inbox.messages.at(1).subCode, int(Message::FailedOnRegister));
        QCOMPARE(store->registrationCount(QStringLiteral("Nowhere")), 0);
    }

    void enumNames_data() { JsonCases::addRows(casesFile, QStringLiteral("point names")); }

    void enumNames()
    {
        QFETCH(QJsonObject, row);
        const auto store = PointStore::forConnection(QStringLiteral("local"));
        for (const char *name : {"B:M1", "B:M1:State", "B:M1:MDLastUpdate", "B:M2:MDLastUpdate", "C:MDLastUpdateX"})
            store->setPoint(QString::fromLatin1(name), Orvane::DWS, 1);
        DmsAccess dms(QStringLiteral("Sync"));
        dms.ConnectDms(QStringLiteral("local"), nullptr, true, 120000);
        QCOMPARE(dms.enumNames(row["nameFilter"].toString(), row["levelFilter"].toString()),
                 row["names"].toVariant().toStringList());
    }

    // Trend rows and text points in the file: killedWriterKeepsAcknowledgedValues, tst_quillonpoints.
    void pointsSurviveRestart()
    {
        const QDateTime stamp = QDateTime::fromString(QStringLiteral("2026-01-31T23:45:00Z"), Qt::ISODate);
        {
            DmsAccess dms(QStringLiteral("Sync"));
            dms.ConnectDms(QStringLiteral("local"), nullptr, true, 120000);
            dms.CreatePoint(QStringLiteral("Site:Heat"), Orvane::FLT, 10, true, -1);
            dms.SendFlt(QStringLiteral("Site:Heat"), 17.5, stamp, 10, true);
            dms.CreatePoint(QStringLiteral("Site:Heat:MDLastUpdate"), Orvane::DWS, 10, true, -1);
            dms.SendDws(QStringLiteral("Site:Heat:MDLastUpdate"), -1700000000, 10, true);
            PointStore::forConnection(QStringLiteral("local"))->setDmsUp(false);
        }
        PointStore::restartAll();

        DmsAccess dms(QStringLiteral("Sync"));
        dms.ConnectDms(QStringLiteral("local"), nullptr, true, 120000);
        double heat = 0;
        QDateTime readStamp;
        QCOMPARE(dms.ReadFlt(QStringLiteral("Site:Heat"), heat, &readStamp), 0);
        QCOMPARE(heat, 17.5);
        QCOMPARE(readStamp, stamp);
        qint32 lastUpdate = 0;
        QCOMPARE(dms.ReadDws(QStringLiteral("Site:Heat:MDLastUpdate"), lastUpdate), 0);
        QCOMPARE(lastUpdate, -1700000000);
        bool up = false;
        QCOMPARE(dms.ReadBit(QStringLiteral("System:Prog:DMS_UP"), up), 0);
        QVERIFY(up); // a restarted DMS is up again
    }

    void trendRowsAndRefusal()
    {
        TrendInbox inbox;
        PdbsAccess pdbs(QStringLiteral("PDBS"));
        QCOMPARE(pdbs.Connect(QStringLiteral("PDBS"), &inbox, true, 120000), 0);
        const auto store = PointStore::forConnection(QStringLiteral("PDBS"));
        store->setFailingWrites({QStringLiteral("Bad")});
        QCOMPARE(pdbs.AppendTrendData(1000, 1.0, 2, QStringLiteral("Good")), 0);
        QCOMPARE(pdbs.AppendTrendData(2000, 2.0, 65536 | 4, QStringLiteral("Good")), 0);
        QCOMPARE(pdbs.AppendTrendData(3000, 3.0, 2, QStringLiteral("Bad")), int(Message::Refused));
        QCOMPARE(pdbs.AppendTrendData(4000, -qInf(), 2, QStringLiteral("Good")), int(Message::InvalidValue));
        QTRY_COMPARE(inbox.messages.size(), 2);
        QCOMPARE(inbox.messages.first().point(), QStringLiteral("Bad"));
        const auto rows = store->trendRows(QStringLiteral("Good"));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(1).timeMs, 2000);
        QCOMPARE(rows.at(1).value, 2.0);
        QCOMPARE(rows.at(1).state, 65540u);
        QVERIFY(store->trendRows(QStringLiteral("Bad")).isEmpty());

        // A value taken twice (a mail read again) keeps one row per point and time: the newest.
        QCOMPARE(pdbs.AppendTrendData(2000, 5.0, 2, QStringLiteral("Good")), 0);
        const auto again = store->trendRows(QStringLiteral("Good"));
        QCOMPARE(again.size(), 2);
        QCOMPARE(again.at(1).value, 5.0);
        QCOMPARE(again.at(1).state, 2u);
    }

    // A file from before the trend key, holding a point's time twice, is keyed when it is opened:
    // the row written last stays, and a later write of that time replaces it.
    void trendFileWithoutKeyIsMigrated()
    {
        const QString file = StoreFile::pathForProject(m_project->path());
        QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()));
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(file.toUtf8().constData(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db,
                              "CREATE TABLE trend(id INTEGER PRIMARY KEY, connection TEXT NOT NULL, time_ms INTEGER NOT NULL,"
                              " value REAL NOT NULL, state INTEGER NOT NULL, point TEXT NOT NULL);"
                              "CREATE INDEX trend_point ON trend(point, time_ms);"
                              "INSERT INTO trend(connection, time_ms, value, state, point) VALUES"
                              " ('PDBS', 1000, 1.0, 0, 'Twice'), ('PDBS', 2000, 2.0, 0, 'Twice'),"
                              " ('PDBS', 1000, 3.0, 0, 'Twice'), ('other', 1000, 4.0, 0, 'Twice')",
                              nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);

        PdbsAccess pdbs(QStringLiteral("PDBS"));
        QCOMPARE(pdbs.Connect(QStringLiteral("PDBS"), nullptr, true, 120000), 0);
        const auto store = PointStore::forConnection(QStringLiteral("PDBS"));
        const auto valuesOf = [&] {
            QList<double> values;
            for (const auto &row : store->trendRows(QStringLiteral("Twice")))
                values.append(row.value);
            return values;
        };
        QCOMPARE(valuesOf(), (QList<double>{2.0, 3.0}));
        QCOMPARE(pdbs.AppendTrendData(2000, 6.0, 0, QStringLiteral("Twice")), 0);
        QVERIFY(pdbs.waitUntilCommitted());
        QCOMPARE(valuesOf(), (QList<double>{6.0, 3.0}));
        QCOMPARE(StoreFile(file, true).trendRows(QStringLiteral("Twice")).size(), 3); // the other connection's too
    }

    void droppedAndRestoredLink()
    {
        const auto store = PointStore::forConnection(QStringLiteral("local"));
        DmsAccess async(QStringLiteral("Async")), sync(QStringLiteral("Sync"));
        PdbsAccess pdbs(QStringLiteral("PDBS"));
        QSignalSpy disconnected(&async, &DmsAccess::dmsDisconnected);
        async.ConnectDms(QStringLiteral("local"), nullptr, false, 120000);
        sync.ConnectDms(QStringLiteral("local"), nullptr, true, 120000);
        pdbs.Connect(QStringLiteral("local"), nullptr, true, 120000);

        store->dropLink();
        QCOMPARE(disconnected.size(), 1);
        QCOMPARE(async.getConnectionState(), 1);
        QCOMPARE(sync.getConnectionState(), 1);
        QCOMPARE(pdbs.getConnectionState(), 1);
        QVERIFY(sync.ConnectDms(QStringLiteral("local"), nullptr, true, 120000) != 0);
        QVERIFY(sync.SendFlt(QStringLiteral("X"), 1, 10, true) != 0);

        store->restoreLink();
        QCOMPARE(async.getConnectionState(), 0); // the asynchronous connection comes back by itself
        QCOMPARE(sync.getConnectionState(), 1); // the others are connected again by their owner
        QCOMPARE(sync.ConnectDms(QStringLiteral("local"), nullptr, true, 120000), 0);
        QCOMPARE(pdbs.Connect(QStringLiteral("local"), nullptr, true, 120000), 0);

        // An explicit disconnect sends no signal and is not undone by the DMS.
        QVERIFY(async.DisconnectDms());
        store->dropLink();
        store->restoreLink();
        QCOMPARE(disconnected.size(), 1);
        QCOMPARE(async.getConnectionState(), 1);
    }

    // (A quit of the DMS is passed on through the control: tst_dmshandler, tst_controller.)
    void controlTimesOut()
    {
        const auto store = PointStore::forConnection(QStringLiteral("local"));
        DmsAccess async(QStringLiteral("Async"));
        async.ConnectDms(QStringLiteral("local"), nullptr, false, 120000);
        DmsControl control(&async);
        QSignalSpy timedOut(&control, &DmsControl::dmsTimedOut);
        control.startControl(1);
        QTest::qWait(1300);
        QCOMPARE(timedOut.size(), 0); // the DMS answers
        store->setAnswering(false);
        QTRY_COMPARE_WITH_TIMEOUT(timedOut.size(), 1, 5000);
        QVERIFY(!control.isControlling());
        QTest::qWait(1300);
        QCOMPARE(timedOut.size(), 1); // reported once
    }

    void unopenableFileRefusesConnections()
    {
        QFile blocker(m_project->filePath(QStringLiteral("dms")));  // a file where the folder belongs
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        DmsAccess dms(QStringLiteral("Sync"));
        PdbsAccess pdbs(QStringLiteral("PDBS"));
        QCOMPARE(dms.ConnectDms(QStringLiteral("local"), nullptr, true, 120000), PointStore::StoreUnavailable);
        QCOMPARE(pdbs.Connect(QStringLiteral("PDBS"), nullptr, true, 120000), PointStore::StoreUnavailable);
        QVERIFY2(pdbs.lastError().contains(QStringLiteral("cannot be opened")), qPrintable(pdbs.lastError()));
        QVERIFY(!dms.waitUntilCommitted());

        blocker.remove();  // repaired: the next connection opens the file
        QCOMPARE(dms.ConnectDms(QStringLiteral("local"), nullptr, true, 120000), 0);
        QVERIFY(!PointStore::forConnection(QStringLiteral("local"))->filePath().isEmpty());
    }

    void failedTransactionReportedByBarrier()
    {
        PdbsAccess pdbs(QStringLiteral("PDBS"));
        QCOMPARE(pdbs.Connect(QStringLiteral("PDBS"), nullptr, true, 120000), 0);
        const QString file = PointStore::forConnection(QStringLiteral("PDBS"))->filePath();
        sqlite3 *db = nullptr;  // the file refuses one point's rows, as a full disk would refuse all
        QCOMPARE(sqlite3_open(file.toUtf8().constData(), &db), SQLITE_OK);
        sqlite3_busy_timeout(db, 30000); // the store's writer may hold the file for a moment
        QCOMPARE(sqlite3_exec(db, "CREATE TRIGGER refuse BEFORE INSERT ON trend WHEN NEW.point = 'Full' "
                                  "BEGIN SELECT RAISE(ABORT, 'disk full'); END", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);

        QCOMPARE(pdbs.AppendTrendData(1000, 1.0, 0, QStringLiteral("Full")), 0);  // queued, not yet written
        QString error;
        QVERIFY(!pdbs.waitUntilCommitted(&error));
        QVERIFY2(error.contains(QStringLiteral("disk full")), qPrintable(error));
        QCOMPARE(pdbs.AppendTrendData(2000, 2.0, 0, QStringLiteral("Fine")), 0);
        QVERIFY(pdbs.waitUntilCommitted(&error));
        QCOMPARE(PointStore::forConnection(QStringLiteral("PDBS"))->trendRows(QStringLiteral("Fine")).size(), 1);
    }

    // A child process writes a point and its trend rows in a loop and prints the count after every
    // commit barrier; killed at a random moment, the file must hold every value it had acknowledged.
    void killedWriterKeepsAcknowledgedValues()
    {
        for (int run = 0; run < 20; ++run) {
            QTemporaryDir project;
            ProcessRunner runner(QStringLiteral(QUILLON_BINARY_DIR "/tests/dms/pointstore_writer"), project.path());
            runner.setEnv(QStringLiteral("ORVANE_CURRENT_PROJECT_LOCATION"), project.path());
            const auto writer = runner.start({QStringLiteral("100")});
            const int barriers = QRandomGenerator::global()->bounded(1, 10);
            qint64 acknowledged = 0;
            for (int seen = 0; seen < barriers;) {
                QVERIFY2(writer->canReadLine() || writer->waitForReadyRead(30000), "no barrier acknowledged");
                while (writer->canReadLine() && seen < barriers) {
                    acknowledged = writer->readLine().trimmed().toLongLong();
                    ++seen;
                }
            }
            writer->kill();
            QVERIFY(writer->waitForFinished(30000));
            while (writer->canReadLine())
                acknowledged = qMax(acknowledged, writer->readLine().trimmed().toLongLong());

            Orvane::StoreFile file(Orvane::StoreFile::pathForProject(project.path()), true);
            const auto rows = file.trendRows(QStringLiteral("Kill:Value"));
            QVERIFY2(rows.size() >= acknowledged, qPrintable(QStringLiteral("run %1: %2 rows, %3 acknowledged")
                                                                 .arg(run).arg(rows.size()).arg(acknowledged)));
            for (qint64 i = 0; i < acknowledged; ++i)
                QCOMPARE(rows.at(i).value, double(i));
            const auto points = file.points(QStringLiteral("local"), QStringLiteral("Kill:Value"));
            QCOMPARE(points.size(), 1);
            QVERIFY(points.first().value.toDouble() >= double(acknowledged - 1));
        }
    }

private:
    std::unique_ptr<QTemporaryDir> m_project;
};

QTEST_GUILESS_MAIN(TestPointStore)
#include "tst_pointstore.moc"
