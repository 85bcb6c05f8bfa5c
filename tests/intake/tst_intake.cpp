// The mail intake end to end: a real dovecot mailbox, the mail handler thread, a DMS handler
// thread on the embedded point store (SQLite file), S/MIME mails made with OpenSSL.

#include "../common/DmsHandlerRun.h"
#include "mail/MailHandler.h"
#include "mail/MailLimits.h"
#include "mail/MailListOrder.h"

#include "fixtures/DovecotServer.h"
#include "fixtures/FixtureConfiguration.h"
#include "fixtures/MeterMails.h"
#include "fixtures/SmimeFactory.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <ctime>
#include <memory>

namespace {

// A configuration of its own stores for each run, so that no run sees another's points.
DmsConfig freshDmsConfig()
{
    static int run = 0;
    DmsConfig config;
    config.dmsConnection = QStringLiteral("intake-dms-%1").arg(++run);
    config.pdbsConnection = QStringLiteral("intake-pdbs-%1").arg(run);
    config.writeDataToPdbs = false;
    return config;
}

QString listDate(int minute, int second = 0)
{
    return QStringLiteral("Mon, 1 Jan 2024 10:%1:%2 +0100").arg(minute, 2, 10, QLatin1Char('0')).arg(second, 2, 10, QLatin1Char('0'));
}

QByteArray msconsMail(const QString &subject, const QString &date, const QString &location, double first)
{
    const QByteArray edi = MeterMails::mscons(location, 4, first, QDateTime(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC));
    return SmimeFactory::plainMail(subject, date, "values.edi", edi);
}

QString pointOf(const QString &location)
{
    return location + QStringLiteral("_1.1.1.29.0");
}

// A DMS handler on its own store and a mail handler on the test's dovecot, wired as the
// controller wires them.
class Intake
{
public:
    Intake(const DovecotServer &server, const QString &archive, const std::function<void(MailConfig &)> &adjust = {})
        : dms(freshDmsConfig(), [] { DmsTiming t; t.asyncUpDelayMs = 1; return t; }())
    {
        dmsReady = dms.startReady();
        dms.handler->setStatusReportSink(nullptr); // the DMS side reports to no one, as without a reporter
        MailConfig config = fixtureMailConfig(server);
        config.successCopyToLocal = true;
        config.successLocalFolder = archive + QStringLiteral("/ok");
        config.failedCopyToLocal = true;
        config.failedLocalFolder = archive + QStringLiteral("/failed");
        if (adjust)
            adjust(config);
        mail = std::make_unique<MailHandler>(config);
        mail->setDmsHandler(dms.handler.get());
        mail->setDmsState(DmsHandler::Idle);
        mail->setStatusReportSink(&dms.sink);
        checked = std::make_unique<QSignalSpy>(mail.get(), &MailHandler::sigMailChecked);
        nextCheck = std::make_unique<QSignalSpy>(mail.get(), &MailHandler::sigNextCheckDt);
        mail->start();
    }
    ~Intake()
    {
        mail->quit();
        mail->wait();
    }

    // Runs one check now and waits for its last sigMailChecked (a guard's, or the end of the cycle).
    bool check(const QString &endPrefix = QStringLiteral("End of mail check"))
    {
        const qsizetype before = checked->size();
        mail->forceMailCheck();
        return QTest::qWaitFor([&] {
            for (qsizetype i = before; i < checked->size(); ++i) {
                if (checked->at(i).at(0).toString().startsWith(endPrefix))
                    return true;
            }
            return false;
        }, 120000);
    }
    QList<QVariant> last() const { return checked->last(); }
    // The summary emission (data "MAIL-SUMMARY") of the mail handled at this place of the check.
    QList<QVariant> summaryAt(int position) const
    {
        for (const QList<QVariant> &args : std::as_const(*checked)) {
            if (args.at(1) == QStringLiteral("MAIL-SUMMARY")
                && args.at(0).toString().startsWith(QStringLiteral("Mail #%1-").arg(position)))
                return args;
        }
        return {};
    }
    std::optional<double> value(const QString &point) const
    {
        const auto p = dms.store->point(point);
        return p ? std::optional<double>(p->value.toDouble()) : std::nullopt;
    }

    DmsHandlerRun dms; // stops after the mail handler
    bool dmsReady = false;
    std::unique_ptr<MailHandler> mail;
    std::unique_ptr<QSignalSpy> checked;
    std::unique_ptr<QSignalSpy> nextCheck;
};

// One mail of the mailbox of every kind and what must become of it.
struct MailKind
{
    const char *name;
    QString subject;
    QByteArray mail;
    QString folder, archive; // local archive folder (ok, failed or none) and file name in it
    QString result;          // "Ok" or a part of the failure text
    QString point;
    double last;             // NAN: the point must not exist
    QString info = {};       // a part of the mail's info text
    int position = 0;        // place in date order
};

} // namespace

Q_DECLARE_METATYPE(MailKind)

class TestIntake : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qputenv("TZ", "Europe/Zurich");
        tzset();
        QCoreApplication::setApplicationName(QStringLiteral("QuillonTest"));
        QString error;
        QVERIFY2(m_server.start(&error), qPrintable(error));
        QVERIFY2(m_factory.create(&error), qPrintable(error));
        QVERIFY(m_factory.installRecipient(m_dir.filePath(QStringLiteral("cfg/certs/MY"))));
        QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("cfg/certs/ROOT"))));
        QVERIFY(QFile::copy(m_server.certificatePath(), m_dir.filePath(QStringLiteral("cfg/certs/ROOT/imap.pem"))));
        qputenv("ORVANE_CURRENT_CONFIG_LOCATION", m_dir.filePath(QStringLiteral("cfg/")).toUtf8());
        qputenv("ORVANE_CURRENT_PROJECT_LOCATION", m_dir.filePath(QStringLiteral("project")).toUtf8());
    }

    // Every kind of mail in one mailbox, handled in one check; each row is one mail and what must
    // become of it. The rows are seeded newest first, so handling in row order proves date order.
    void mailboxOfKinds_data()
    {
        QTest::addColumn<MailKind>("kind");
        using namespace MeterMails;
        const QDateTime start(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC);
        const QByteArray latin1 = "Datum;Zeit;Z\xe4hler S\xfc" "d\r\n2024/01/01;00:15:00;54\r\n";
        QByteArray deep = attachment("d.edi", mscons("DEEP", 4, 1, start));
        for (int level = 0; level < 18; ++level)
            deep = multipart("mixed", {deep});
        const QString name = QStringLiteral("2024-01-01 10%1 - (Meter Portal portal@meters.example) - %2.eml");
        const auto d = [](int m, int s = 0) { return listDate(m, s); };
        const QList<MailKind> kinds{
            {"plain", "plain", msconsMail("plain", d(0), "PLAIN", 1), "ok", name.arg("00", "plain"), "Ok", pointOf("PLAIN"), 4},
            {"same minute and subject: counter in the file name", "plain", msconsMail("plain", d(0, 30), "TWIN", 201),
             "ok", name.arg("00", "plain (1)"), "Ok", pointOf("TWIN"), 204},
            {"signed", "signed", m_factory.signedDetached(msconsMail("signed", d(1), "SIGNED", 11)), "ok",
             name.arg("01", "signed"), "Ok", pointOf("SIGNED"), 14, "== Outer Signature is OK! =="},
            {"encrypted", "encrypted", m_factory.encrypted(msconsMail("encrypted", d(2), "ENCRYPTED", 21)), "ok",
             name.arg("02", "encrypted"), "Ok", pointOf("ENCRYPTED"), 24, "== Decrypt is OK! =="},
            {"signed and encrypted", "signed and encrypted",
             m_factory.signedThenEncrypted(msconsMail("signed and encrypted", d(3), "SIGNENC", 31)), "ok",
             name.arg("03", "signed and encrypted"), "Ok", pointOf("SIGNENC"), 34, "== Decrypt and verify signature is OK! =="},
            {"Latin-1 with its charset as only attribute", "latin1",
             mail("latin1", d(5), multipart("mixed", {attachment("l.csv", latin1, "text/csv; charset=iso-8859-1")})), "ok",
             name.arg("05", "latin1"), "Ok", QStringLiteral("Z\u00e4hler S\u00fcd"), 54},
            {"nested multipart; a related one that does not decode is passed over", "nested",
             mail("nested", d(6), multipart("alternative", {textPart("text"), multipartWithoutBoundary("related"),
                 multipart("mixed", {textPart("html"), attachment("n.edi", mscons("NESTED", 4, 61, start))})})),
             "ok", name.arg("06", "nested"), "Ok", pointOf("NESTED"), 64, "--- BodyPart 1-1"},
            {"damaged gzip: the packed bytes go to the parser", "raw",
             mail("raw", d(7), multipart("mixed", {attachment("raw.edi.gz", mscons("RAWGZ", 4, 71, start))})), "ok",
             name.arg("07", "raw"), "Ok", pointOf("RAWGZ"), 74},
            {"unknown format", "unknown", mail("unknown", d(8), multipart("mixed", {attachment("notes.txt", "hello\r\n")})), "failed",
             name.arg("08", "unknown"), "Subject:unknown, sent:" + d(8) + " - Could not parse attachment notes.txt: ", {}, NAN},
            {"bad signature: no values", "badsig", m_factory.badSignature(msconsMail("badsig", d(9), "BADSIG", 91)), "failed",
             name.arg("09", "badsig"), " - Could not VerifySignature() (outer):", pointOf("BADSIG"), NAN},
            {"cannot decrypt", "other", m_factory.encryptedForOther(msconsMail("other", d(10), "OTHER", 101)), "failed",
             name.arg("10", "other"), " - Could not Decrypt():", pointOf("OTHER"), NAN},
            {"no attachment; named by the wall-clock time its date header gives", "text only",
             mail("text only", QStringLiteral("Mon, 1 Jan 2024 09:11:00 +0000"), textPart("no data")), "failed",
             QString(name).replace("10%1", "0911").arg("text only"), " - has no file attachement", {}, NAN},
            {"multipart nesting deeper than the bound", "deep", mail("deep", d(12), deep), "failed",
             name.arg("12", "deep"), " - MIME parts nested deeper than 16 levels", pointOf("DEEP"), NAN},
            {"larger than the mail bound: not fetched, not archived", "huge",
             mail("huge", d(13), textPart(QByteArray(76, 'x').append("\r\n").repeated(MailLimits::MaxMailBytes / 78 + 1))), {}, {},
             " - Mail of ", {}, NAN},
            {"a nested multipart that does not decode", "broken",
             mail("broken", d(14), multipart("mixed", {multipartWithoutBoundary("mixed"), attachment("b.edi", mscons("BROKEN", 4, 1, start))})),
             "failed", name.arg("14", "broken"), " - [multipart] Could not DecodeFromString():Multipart entity without a boundary", {}, NAN},
        };
        m_mailbox.clear();
        for (MailKind kind : kinds) {
            kind.position = int(m_mailbox.size());
            QTest::newRow(kind.name) << kind;
            m_mailbox.prepend(kind.mail);
        }
    }

    void mailboxOfKinds()
    {
        QFETCH(MailKind, kind);
        const int total = int(m_mailbox.size());
        const int failedTotal = 7;
        if (!m_mailboxRun) {
            for (const QByteArray &mail : std::as_const(m_mailbox))
                QVERIFY(m_server.seedMail(mail));
            m_mailboxRun = std::make_unique<Intake>(m_server, m_dir.filePath(QStringLiteral("archive")),
                                                    [](MailConfig &c) { c.successCopyToImapDecrypted = true; });
            QVERIFY(m_mailboxRun->dmsReady);
            QVERIFY(m_mailboxRun->check());
            const QString summary = m_mailboxRun->last().at(0).toString();
            QVERIFY2(summary.contains(QStringLiteral("MessageCount:%1\r\nFetched:%1\r\n").arg(total)), qPrintable(summary));
            QVERIFY2(summary.contains(QStringLiteral("Mails ok:%1\r\nMails failed:%2\r\n").arg(total - failedTotal).arg(failedTotal)),
                     qPrintable(summary));
            QCOMPARE(m_mailboxRun->last().at(2).toString(), QStringLiteral("OK"));
            QCOMPARE(m_server.maildirCount(), 0);
            QCOMPARE(m_server.maildirCount(QStringLiteral("Success")), total - failedTotal);
            QCOMPARE(m_server.maildirCount(QStringLiteral("Failed")), failedTotal);
            QCOMPARE(m_server.maildirCount(QStringLiteral("SuccessDecrypted")), 2);
            QCOMPARE(m_mailboxRun->dms.sink.mailEntries.size(), failedTotal);
        }
        Intake &run = *m_mailboxRun;
        const QList<QVariant> summary = run.summaryAt(kind.position);
        QVERIFY(!summary.isEmpty());
        const QString info = summary.at(0).toString();
        QVERIFY2(info.contains(QStringLiteral("  Subject:") + kind.subject + QStringLiteral("\r\n")), qPrintable(info));
        const QString result = summary.at(2).toString();
        QVERIFY2(kind.result == QLatin1String("Ok") ? result == kind.result : result.contains(kind.result), qPrintable(result));
        if (kind.result != QLatin1String("Ok"))
            QVERIFY(run.dms.sink.mailEntries.contains(result));
        QVERIFY2(kind.info.isEmpty() || info.contains(kind.info), qPrintable(info));
        if (!kind.point.isEmpty())
            QCOMPARE(run.value(kind.point), std::isnan(kind.last) ? std::nullopt : std::optional<double>(kind.last));
        if (kind.folder.isEmpty())
            return;
        // The archived mail keeps its own headers; a decrypted one is kept decrypted.
        QFile archived(m_dir.filePath(QStringLiteral("archive/%1/%2").arg(kind.folder, kind.archive)));
        QVERIFY2(archived.open(QIODevice::ReadOnly), qPrintable(kind.archive));
        const QByteArray eml = archived.readAll();
        QVERIFY(eml.contains("\r\nSubject: " + kind.subject.toUtf8() + "\r\n"));
        QVERIFY(kind.folder != QLatin1String("ok") || !eml.contains("pkcs7-mime"));
    }

    // The opt-in folder of trusted signers: any certificate in it makes the signer's identity count.
    void trustedSigners_data()
    {
        QTest::addColumn<QByteArray>("trusted");
        QTest::addColumn<bool>("encrypted");
        QTest::addColumn<QString>("resultPart");
        QTest::newRow("signer issued by a trusted CA") << m_factory.caCertificatePem() << false << QStringLiteral("Ok");
        QTest::newRow("the signer itself trusted") << m_factory.signerCertificatePem() << false << QStringLiteral("Ok");
        QTest::newRow("signer not trusted") << m_factory.otherCertificatePem() << false
                                            << QStringLiteral(" - Could not VerifySignature() (outer):Signer '");
        QTest::newRow("signer inside the envelope not trusted") << m_factory.otherCertificatePem() << true
                                                                << QStringLiteral(" - Could not VerifySignature() (inner):Signer '");
    }

    void trustedSigners()
    {
        QFETCH(QByteArray, trusted);
        QFETCH(bool, encrypted);
        QFETCH(QString, resultPart);
        m_mailboxRun.reset();
        const QString signers = m_dir.filePath(QStringLiteral("cfg/certs/SIGNERS"));
        QVERIFY(QDir().mkpath(signers));
        QFile file(signers + QStringLiteral("/trusted.pem"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(trusted);
        file.close();
        const QByteArray mail = msconsMail("trust", listDate(0), "TRUST", 1);
        QVERIFY(m_server.seedMail(encrypted ? m_factory.signedThenEncrypted(mail) : m_factory.signedDetached(mail)));
        Intake run(m_server, m_dir.filePath(QStringLiteral("archive-trust")));
        QVERIFY(run.dmsReady && run.check());
        QDir(signers).removeRecursively();
        const QString result = run.summaryAt(0).value(2).toString();
        QVERIFY2(resultPart == QLatin1String("Ok") ? result == resultPart : result.contains(resultPart), qPrintable(result));
        QCOMPARE(run.value(pointOf("TRUST")).has_value(), resultPart == QLatin1String("Ok"));
    }

    // MaxMailsPerSession 2 with 4 mails handles two and re-arms in 60 s. Then a connection dropped by
    // the server in the middle of a check leaves every mail on the server, and the next check takes
    // them again.
    void sessionLimitAndConnectionKill()
    {
        const int successBefore = m_server.maildirCount(QStringLiteral("Success"));
        for (int i = 0; i < 4; ++i)
            QVERIFY(m_server.seedMail(msconsMail(QStringLiteral("limit %1").arg(i), listDate(20 + i), QStringLiteral("LIMIT%1").arg(i), i)));
        Intake run(m_server, m_dir.filePath(QStringLiteral("archive-limit")),
                   [](MailConfig &c) { c.maxMailsPerSession = 2; });
        QVERIFY(run.dmsReady && run.check());
        QVERIFY(run.last().at(0).toString().contains(QStringLiteral("Reducing to max 2 per session\r\n")));
        QCOMPARE(m_server.maildirCount(), 2);
        QCOMPARE(m_server.maildirCount(QStringLiteral("Success")), successBefore + 2);
        QVERIFY(QTest::qWaitFor([&] { return run.nextCheck->last().at(0).toDateTime().isValid(); }, 10000));
        const qint64 rearm = QDateTime::currentDateTime().secsTo(run.nextCheck->last().at(0).toDateTime());
        QVERIFY2(rearm > 50 && rearm <= 60, qPrintable(QString::number(rearm)));
        QVERIFY(run.value(pointOf("LIMIT1")) && !run.value(pointOf("LIMIT2")));

        std::atomic<bool> kicked{false};
        QObject::connect(run.mail.get(), &MailHandler::sigMailChecked, run.mail.get(),
                         [&](const QString &, const QString &data) {
                             if (data == QLatin1String("MAIL-SUMMARY") && !kicked)
                                 kicked = m_server.kickUser();
                         },
                         Qt::DirectConnection);
        QVERIFY(run.check());
        QVERIFY(kicked);
        QVERIFY(!run.last().at(0).toString().contains(QStringLiteral("Mails ok:")));
        QCOMPARE(m_server.maildirCount(), 2);
        QCOMPARE(m_server.maildirCount(QStringLiteral("Success")), successBefore + 2);
        QVERIFY(run.check());
        QCOMPARE(m_server.maildirCount(), 0);
        QCOMPARE(m_server.maildirCount(QStringLiteral("Success")), successBefore + 4);
        QCOMPARE(*run.value(pointOf("LIMIT3")), 6.0);
    }

    // A check whose values are not committed (the DMS link lost while it hands them over, or the
    // store failing its commits) files nothing: the mails stay in the inbox, no local copy is kept
    // and no failed mail reported. The check after the store recovered files each mail once.
    void valuesNotCommitted_data()
    {
        QTest::addColumn<bool>("linkLost");
        QTest::newRow("DMS link lost mid-check") << true;
        QTest::newRow("store fails its commits for one check") << false;
    }

    void valuesNotCommitted()
    {
        QFETCH(bool, linkLost);
        using namespace MeterMails;
        const QString tag = linkLost ? QStringLiteral("LINK") : QStringLiteral("COMMIT");
        QVERIFY(m_server.seedMail(msconsMail(tag + QStringLiteral(" good"), listDate(30), tag, 10)));
        QVERIFY(m_server.seedMail(mail(tag + QStringLiteral(" broken"), listDate(31),
                                       multipart("mixed", {attachment("notes.txt", "hello\r\n")}))));
        const QString archive = m_dir.filePath(QStringLiteral("archive-") + tag);
        Intake run(m_server, archive);
        QVERIFY(run.dmsReady);
        if (linkLost) {
            QObject::connect(run.mail.get(), &MailHandler::sigMailChecked, run.mail.get(),
                             [&](const QString &info, const QString &data) {
                                 if (data == QLatin1String("MAIL-SUMMARY") && info.startsWith(QLatin1String("Mail #0-")))
                                     run.dms.store->dropLink();
                             },
                             Qt::DirectConnection);
        } else {
            run.dms.store->setFailingCommits(true);
        }
        QVERIFY(run.check());
        const QString summary = run.last().at(0).toString();
        QVERIFY2(summary.contains(QStringLiteral("Mails ok:0\r\nMails failed:0\r\nMails left on the server:2\r\n")),
                 qPrintable(summary));
        QCOMPARE(m_server.maildirCount(), 2);
        QVERIFY(run.dms.sink.mailEntries.join(u'\n').contains(QStringLiteral("the mails stay on the server")));
        QCOMPARE(filesBelow(archive), QStringList());

        if (linkLost) {
            run.dms.store->restoreLink();
            QVERIFY(QTest::qWaitFor([&] { return run.dms.handler->isReady(); }, 30000));
            QObject::disconnect(run.mail.get(), &MailHandler::sigMailChecked, run.mail.get(), nullptr);
        } else {
            run.dms.store->setFailingCommits(false); // the next check's barrier holds
        }
        QVERIFY(run.check());
        QCOMPARE(m_server.maildirCount(), 0);
        QCOMPARE(*run.value(pointOf(tag)), 13.0);
        const QStringList files = filesBelow(archive);
        QCOMPARE(files.size(), 2);
        QVERIFY2(files.filter(QStringLiteral(".eml")).size() == 2, qPrintable(files.join(u' ')));
        QCOMPARE(run.dms.sink.mailEntries.filter(QStringLiteral("Subject:%1 broken").arg(tag)).size(), 1);
    }

    // The Failed folder goes between two checks: the next check makes it again and files the mail
    // there; where it cannot be made (a file holds its name), the mail stays in the inbox, the check
    // says why, and once the folder can be made the mail is filed and reported once. A server
    // without MOVE gets the mail copied, and only then expunged.
    void failedFolderGoneBetweenChecks_data()
    {
        QTest::addColumn<bool>("blocked");
        QTest::addColumn<bool>("move");
        QTest::newRow("deleted") << false << true;
        QTest::newRow("deleted and its name taken") << true << true;
        QTest::newRow("deleted and its name taken, server without MOVE") << true << false;
    }

    void failedFolderGoneBetweenChecks()
    {
        QFETCH(bool, blocked);
        QFETCH(bool, move);
        DovecotServer copyOnly;
        if (!move) {
            copyOnly.setWithoutMove(true);
            QString error;
            QVERIFY2(copyOnly.start(&error), qPrintable(error));
            QFile::remove(m_dir.filePath(QStringLiteral("cfg/certs/ROOT/imap-copy.pem")));
            QVERIFY(QFile::copy(copyOnly.certificatePath(), m_dir.filePath(QStringLiteral("cfg/certs/ROOT/imap-copy.pem"))));
        }
        DovecotServer &server = move ? m_server : copyOnly;
        const QString subject = QString::fromLatin1(QTest::currentDataTag());
        Intake run(server, m_dir.filePath(QStringLiteral("archive-gone")));
        QVERIFY(run.dmsReady && run.check());
        const QString failedFolder = server.maildirFolder(QStringLiteral("Failed"));
        QVERIFY(QFileInfo(failedFolder).isDir());
        QVERIFY(QDir(failedFolder).removeRecursively());
        if (blocked) {
            QFile holder(failedFolder);
            QVERIFY(holder.open(QIODevice::WriteOnly));
        }
        using namespace MeterMails;
        QVERIFY(server.seedMail(mail(subject, listDate(40), multipart("mixed", {attachment("notes.txt", "hello\r\n")}))));
        QVERIFY(run.check());
        if (blocked) {
            QCOMPARE(server.maildirCount(), 1);
            QVERIFY2(run.last().at(2).toString().startsWith(QStringLiteral("Could not file 1 mails, they stay in the inbox")),
                     qPrintable(run.last().at(2).toString()));
            QVERIFY(run.last().at(0).toString().contains(QStringLiteral("Mails failed:0\r\nMails left on the server:1\r\n")));
            QVERIFY(QFile::remove(failedFolder));
            QVERIFY(run.check());
        }
        QCOMPARE(run.last().at(2).toString(), QStringLiteral("OK"));
        QCOMPARE(server.maildirCount(), 0);
        QCOMPARE(server.maildirCount(QStringLiteral("Failed")), 1);
        QCOMPARE(run.dms.sink.mailEntries.filter(QStringLiteral("Subject:") + subject + QStringLiteral(",")).size(), 1);
    }

    // Thirty mails with one date header are all handled in one check.
    void equalDatesAllInOneCheck()
    {
        const int total = 30;
        for (int i = 0; i < total; ++i)
            QVERIFY(m_server.seedMail(msconsMail(QStringLiteral("equal %1").arg(i), listDate(50), QStringLiteral("EQUAL%1").arg(i), i)));
        Intake run(m_server, m_dir.filePath(QStringLiteral("archive-equal")));
        QVERIFY(run.dmsReady && run.check());
        QVERIFY2(run.last().at(0).toString().contains(QStringLiteral("Mails ok:%1\r\n").arg(total)), qPrintable(run.last().at(0).toString()));
        QCOMPARE(m_server.maildirCount(), 0);
        for (int i = 0; i < total; ++i)
            QCOMPARE(run.value(pointOf(QStringLiteral("EQUAL%1").arg(i))), std::optional<double>(i + 3));
    }

    // A server without TLS (and so without STARTTLS): the password goes to it only with
    // AllowPlainLogin set; without it the check says why it did not log in.
    void plainLogin_data()
    {
        QTest::addColumn<bool>("allowPlainLogin");
        QTest::addColumn<QString>("result");
        QTest::newRow("allowed: the inbox is read") << true << "OK";
        QTest::newRow("not allowed: refused with the reason")
            << false
            << "Could not connectToHost() 1 :Login refused: the connection to 127.0.0.1 is not encrypted (no STARTTLS) "
               "and plain login is not allowed";
    }

    void plainLogin()
    {
        QFETCH(bool, allowPlainLogin);
        QFETCH(QString, result);
        DovecotServer plain;
        QString error;
        QVERIFY2(plain.start(&error, DovecotServer::Security::None), qPrintable(error));
        QVERIFY(plain.seedMail(msconsMail(QStringLiteral("plain"), listDate(40), QStringLiteral("PLAINLOGIN"), 1)));
        Intake run(plain, m_dir.filePath(QStringLiteral("archive-plain")), [&](MailConfig &c) {
            c.port = plain.imapPort();
            c.ssl = false;
            c.allowPlainLogin = allowPlainLogin;
        });
        QVERIFY(run.dmsReady && run.check());
        QCOMPARE(run.last().at(2).toString(), result);
        QCOMPARE(plain.maildirCount(), allowPlainLogin ? 0 : 1);
    }

    // What stops a check before the mailbox is read, and what a server that cannot be reached does.
    void guard_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("result");      // of the check's last sigMailChecked (start of it)
        QTest::addColumn<QString>("lastError");
        QTest::addColumn<int>("rearmSeconds");
        QTest::newRow("missing configuration") << "no password" << "<ConfigError>" << "Missing configuration" << 1800;
        QTest::newRow("paused") << "paused" << "<Paused>" << "" << 60;
        QTest::newRow("DMS link lost") << "link lost" << "<DMS/PDBS not ready>" << "DMS/PDBS not ready" << 120;
        QTest::newRow("server not reachable: first failure, retried soon")
            << "no server" << "Could not connectToHost() 1 :" << "" << 45;
    }

    void guard()
    {
        QFETCH(QString, situation);
        QFETCH(QString, result);
        QFETCH(QString, lastError);
        QFETCH(int, rearmSeconds);
        Intake run(m_server, m_dir.filePath(QStringLiteral("archive-guard")), [&](MailConfig &c) {
            if (situation == QLatin1String("no password"))
                c.password.clear();
            if (situation == QLatin1String("no server"))
                c.port = 1;
        });
        QVERIFY(run.dmsReady);
        QSignalSpy errors(run.mail.get(), &MailHandler::sigLastErrorChanged);
        run.mail->setPaused(situation == QLatin1String("paused"));
        if (situation == QLatin1String("link lost")) {
            run.dms.store->dropLink();
            QVERIFY(QTest::qWaitFor([&] { return !run.dms.handler->isReady(); }, 30000));
        }
        QVERIFY(run.check(result.startsWith(u'<') ? QStringLiteral("-") : QStringLiteral("End of mail check")));
        QVERIFY2(run.last().at(2).toString().startsWith(result), qPrintable(run.last().at(2).toString()));
        if (!lastError.isEmpty())
            QVERIFY(QTest::qWaitFor([&] { return !errors.isEmpty() && errors.last().at(0).toString() == lastError; }, 10000));
        QVERIFY(QTest::qWaitFor([&] { return run.nextCheck->last().at(0).toDateTime().isValid(); }, 10000));
        const qint64 rearm = QDateTime::currentDateTime().secsTo(run.nextCheck->last().at(0).toDateTime());
        QVERIFY2(rearm > rearmSeconds - 10 && rearm <= rearmSeconds, qPrintable(QString::number(rearm)));
    }

    void listOrder_data()
    {
        QTest::addColumn<QStringList>("dates");
        QTest::addColumn<QList<qint64>>("order");
        QTest::newRow("same date: both, by message number")
            << QStringList{"Mon, 1 Jan 2024 10:00:00 +0100", "Mon, 1 Jan 2024 09:00:00 +0000"} << QList<qint64>{1, 2};
        QTest::newRow("not RFC 2822: day, month, two-digit year")
            << QStringList{"Mon, 01 Jan 24 11:00:00 CET99", "Mon, 1 Jan 2024 10:00:00 +0100"} << QList<qint64>{2, 1};
        QTest::newRow("unreadable: handled as now, so last")
            << QStringList{"yesterday", "Mon, 1 Jan 2024 10:00:00 +0100"} << QList<qint64>{2, 1};
    }

    void listOrder()
    {
        QFETCH(QStringList, dates);
        QFETCH(QList<qint64>, order);
        QList<SIMAPMessageInfo> entries;
        for (qsizetype i = 0; i < dates.size(); ++i) {
            SIMAPMessageInfo info;
            info.number = i + 1;
            info.date = dates.at(i);
            entries << info;
        }
        QCOMPARE(MailListOrder::ascending(entries, QDateTime::currentDateTime()), order);
    }

private:
    // Every file below a folder (hidden ones too), by name.
    static QStringList filesBelow(const QString &folder)
    {
        QStringList names;
        QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            names << QFileInfo(it.next()).fileName();
        return names;
    }

    DovecotServer m_server;
    SmimeFactory m_factory;
    QTemporaryDir m_dir; // configuration (certs/), project (point store file) and local archive
    QList<QByteArray> m_mailbox;
    std::unique_ptr<Intake> m_mailboxRun; // ends before the server stops
};

QTEST_MAIN(TestIntake)
#include "tst_intake.moc"
