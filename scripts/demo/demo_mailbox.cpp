// quillon-demo-mailbox PROJECT_DIR [BASE_INI]
// The demo's mail servers: a real dovecot on loopback (the test fixture), filled with sample mails
// of several formats, one of them signed and encrypted for the demo's own certificate, and one
// broken; and a real SMTP server (the test fixture) that receives the status reports. It writes a
// configuration into PROJECT_DIR that points Quillon at both, installs the certificates there,
// and runs until SIGINT or SIGTERM. A BASE_INI gives the other settings (tables, prefix, ...). Files dropped into PROJECT_DIR/drop are delivered as new
// mails: an ".eml" file as it is, any other file as the attachment of a mail. Each status report
// received is saved as PROJECT_DIR/reports/report-N.eml.

#include "config/ConfigFile.h"
#include "fixtures/DovecotServer.h"
#include "fixtures/MeterMails.h"
#include "fixtures/SmimeFactory.h"
#include "fixtures/SmtpServer.h"
#include "TerminationSignals.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTextStream>
#include <QTimer>

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString mailDate(int minutesAgo)
{
    return QDateTime::currentDateTime().addSecs(-60 * minutesAgo).toString(Qt::RFC2822Date);
}

// Every two seconds: delivers the files that appear in the drop folder, each once, oldest name
// first, and saves the status reports that arrived.
class DemoPost : public QObject
{
public:
    DemoPost(const QString &project, DovecotServer &server, SmtpServer &smtp)
        : m_folder(project + QStringLiteral("/drop")), m_reports(project + QStringLiteral("/reports")),
          m_server(server), m_smtp(smtp)
    {
        QDir().mkpath(m_folder);
        QDir().mkpath(m_reports);
        connect(&m_timer, &QTimer::timeout, this, &DemoPost::deliver);
        connect(&m_timer, &QTimer::timeout, this, &DemoPost::saveReports);
        m_timer.start(2000);
    }

private:
    void saveReports()
    {
        for (; m_saved < m_smtp.mailCount(); ++m_saved) {
            QFile file(QStringLiteral("%1/report-%2.eml").arg(m_reports).arg(m_saved + 1));
            if (file.open(QIODevice::WriteOnly))
                file.write(m_smtp.mail(m_saved + 1));
        }
    }

    void deliver()
    {
        QDir dir(m_folder);
        for (const QFileInfo &info : dir.entryInfoList(QDir::Files, QDir::Name)) {
            const QByteArray content = readFile(info.filePath());
            const QByteArray mail = info.suffix().compare(QLatin1String("eml"), Qt::CaseInsensitive) == 0
                ? content
                : SmimeFactory::plainMail(QStringLiteral("Dropped file ") + info.fileName(), mailDate(0),
                                          info.fileName().toUtf8(), content);
            if (m_server.seedMail(mail)) {
                QTextStream(stdout) << "Mailbox: delivered " << info.fileName() << Qt::endl;
                QFile::remove(info.filePath());
            }
        }
    }

    QString m_folder;
    QString m_reports;
    DovecotServer &m_server;
    SmtpServer &m_smtp;
    QTimer m_timer;
    int m_saved = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc != 2 && argc != 3) {
        err << "Usage: quillon-demo-mailbox PROJECT_DIR [BASE_INI]\n";
        return 1;
    }
    const QString project = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const QString samples = QStringLiteral(QUILLON_SOURCE_DIR "/tests/data/");
    Kyr::TerminationSignals signalsToQuit;

    DovecotServer server;
    SmtpServer smtp;
    SmimeFactory smime;
    QString error;
    if (!server.start(&error) || !smtp.start(&error) || !smime.create(&error)) {
        err << "Could not start the demo mailbox: " << error << '\n';
        return 1;
    }

    // The decryption certificate as an operator installs it, and trust in the server's certificate.
    const QString certs = project + QStringLiteral("/cfg/certs/");
    QDir().mkpath(certs + QStringLiteral("ROOT"));
    QFile::remove(certs + QStringLiteral("ROOT/demo-mailbox.pem"));
    QFile::copy(server.certificatePath(), certs + QStringLiteral("ROOT/demo-mailbox.pem"));
    smime.installRecipient(certs + QStringLiteral("MY"));

    struct Sample { QString subject; QByteArray name; QByteArray data; bool secured; };
    const QList<Sample> mails = {
        {QStringLiteral("MSCONS load profile"), "load_profile.edi", readFile(samples + QStringLiteral("mscons/mscons_load_profile.edi")), false},
        {QStringLiteral("IMMO Box day export"), "immobox_day.csv", readFile(samples + QStringLiteral("immobox_csv/immobox_day.csv")), false},
        {QStringLiteral("ebIX metering data"), "ebix.xml", readFile(samples + QStringLiteral("ebix_vse_xml/ebix_two_quantities.xml")), false},
        {QStringLiteral("LertesBox, gzip"), "lertesbox.xml.gz", MeterMails::gzip(readFile(samples + QStringLiteral("lertesbox_xml/lertesbox_ilc_latin1.xml"))), false},
        {QStringLiteral("PVSS, signed and encrypted"), "pvss.csv", readFile(samples + QStringLiteral("pvss_csv/pvss_export.csv")), true},
        {QStringLiteral("Broken attachment"), "notes.txt", QByteArray("These are no meter values.\r\n"), false},
    };
    int minutesAgo = int(mails.size());
    for (const Sample &sample : mails) {
        // The mails declare their text as US-ASCII, which is read as Latin-1: UTF-8 samples go as Latin-1.
        QByteArray data = sample.data;
        if (!sample.name.endsWith(".gz")) {
            QStringDecoder utf8(QStringDecoder::Utf8);
            const QString text = utf8.decode(data);
            if (!utf8.hasError())
                data = text.toLatin1();
        }
        QByteArray mail = SmimeFactory::plainMail(sample.subject, mailDate(minutesAgo--), sample.name, data);
        if (sample.secured)
            mail = smime.signedThenEncrypted(mail);
        server.seedMail(mail);
    }

    // Quillon's configuration: the mailbox over TLS, checked every minute, handled mails also
    // kept as files under the project, a status report checked every minute.
    Configuration config = argc == 3 ? ConfigFile::read(QString::fromLocal8Bit(argv[2]), ConfigFile::Rows::All)
                                     : Configuration();
    config.mail.host = server.host();
    config.mail.port = server.imapsPort();
    config.mail.ssl = true;
    config.mail.userName = server.user();
    config.mail.password = server.password();
    config.mail.checkInterval = QStringLiteral("1");
    config.mail.successCopyToLocal = true;
    config.mail.successLocalFolder = QStringLiteral("'%1/mails/Success/'yyyyMMdd").arg(project);
    config.mail.failedCopyToLocal = true;
    config.mail.failedLocalFolder = QStringLiteral("'%1/mails/Failed/'yyyyMMdd").arg(project);
    config.report.host = smtp.host();
    config.report.port = smtp.port();
    config.report.userName = smtp.user();
    config.report.password = smtp.password();
    config.report.sender = QStringLiteral("quillon@demo.example");
    config.report.checkInterval = 1;
    config.report.users = {ReportUser{true, QStringLiteral("Operator"), QStringLiteral("operator@demo.example")}};
    config.dms.dmsConnection = QStringLiteral("local");
    config.dms.pdbsConnection = QStringLiteral("PDBS");
    QDir().mkpath(project + QStringLiteral("/cfg"));
    ConfigFile::write(project + QStringLiteral("/cfg/Quillon.ini"), config, QString());

    DemoPost post(project, server, smtp);
    QTextStream(stdout) << "Mailbox: dovecot on " << server.host() << ':' << server.imapsPort() << " (TLS) with "
                        << mails.size() << " mails for user " << server.user() << "; SMTP for the reports on "
                        << smtp.host() << ':' << smtp.port() << Qt::endl;
    QFile ready(project + QStringLiteral("/mailbox.ready"));
    ready.open(QIODevice::WriteOnly);
    ready.close();
    const int code = QCoreApplication::exec();
    QFile::remove(ready.fileName());
    return code;
}
