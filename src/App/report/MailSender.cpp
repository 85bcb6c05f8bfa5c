#include "report/MailSender.h"

#include "service/ServiceCounters.h"
#include "KyrLogger/Logger.h"

#include "Smtp/MimeText.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHostInfo>
#include <QMetaEnum>
#include <QRandomGenerator>

#include <algorithm>

namespace {

constexpr int WaitMs = 30000; // each SMTP phase
// Attachment content held for the next report, at most. Past it a failed mail is listed without
// its file, so that a long mail-server outage cannot pile up attachments without end.
constexpr qsizetype MaxHeldAttachmentChars = 16 * 1024 * 1024;
// The mail domain of the Message-ID: a name reserved never to resolve.
const QString MessageIdDomain = QStringLiteral("quillon.invalid");
const QString VersionLine = QStringLiteral("Modul Version: 2.25.110.20  [2025-04-23 07:57]\n");

// "<" yyyyMMddHHmmss "." six random bytes in hexadecimal ".quillon-" host "@" domain ">"
QString messageId()
{
    QString id = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss")) + QLatin1Char('.');
    for (int i = 0; i < 6; ++i)
        id += QString::number(QRandomGenerator::global()->bounded(256), 16);
    return QLatin1Char('<') + id + QStringLiteral(".quillon-") + QHostInfo::localHostName() + QLatin1Char('@')
           + MessageIdDomain + QLatin1Char('>');
}

QString itemLines(const QStringList &items)
{
    QString text;
    for (const QString &item : items)
        text += QStringLiteral("- ") + item + QLatin1Char('\n');
    return text;
}

// "Ok" or the number of lines with what they count, followed by the lines.
QString countedLines(const QStringList &lines, const QString &what)
{
    return lines.isEmpty() ? QStringLiteral("Ok\n") : QString::number(lines.size()) + what + itemLines(lines);
}

QStringList sorted(QStringList items)
{
    std::sort(items.begin(), items.end());
    return items;
}

// The taken items ahead of those added meanwhile, without repeating a text.
void putBackDistinct(QStringList &list, const QStringList &taken)
{
    QStringList merged = taken;
    for (const QString &s : std::as_const(list)) {
        if (!merged.contains(s))
            merged.append(s);
    }
    list = merged;
}

} // namespace

MailSender::MailSender(const ReportConfig &config, const ReportSources *sources, const ReportTiming &timing)
    : m_config(config),
      m_sources(sources),
      m_timing(timing),
      m_applicationName(QCoreApplication::applicationName()),
      m_lastReportText(QStringLiteral("no report created"))
{
    moveToThread(this);
    m_checkTimer.moveToThread(this);
    m_checkTimer.setSingleShot(true);
    connect(&m_checkTimer, &QTimer::timeout, this, &MailSender::onCheckTimer);
}

MailSender::~MailSender()
{
    LOG_OUT(Kyr::LogInfo, "MailSender finished (%1)").arg(m_config.host).endl();
}

void MailSender::run()
{
    LOG_OUT(Kyr::LogInfo, "MailSender started (%1)").arg(m_config.host).endl();
    if (m_config.checkInterval > 0)
        m_checkTimer.start(m_timing.firstCheckMs);
    emit sigLastErrorChanged(lastError());
    exec();
    m_checkTimer.stop();
}

bool MailSender::configurationMissing() const
{
    return m_config.host.isEmpty() || m_config.userName.isEmpty() || m_config.password.isEmpty()
           || m_config.sender.isEmpty() || m_config.port == 0;
}

// Entries are collected only while reports can be made; called under the mutex.
bool MailSender::collecting() const
{
    return m_config.checkInterval >= 1 && !m_missingConfiguration;
}

void MailSender::addMailEntry(const QString &text, const QString &attachmentSuffix, const QString &attachmentContent)
{
    QMutexLocker lock(&m_mutex);
    if (!collecting())
        return;
    qsizetype held = 0;
    for (const MailEntry &e : std::as_const(m_mailEntries))
        held += e.attachmentContent.size();
    if (held + attachmentContent.size() > MaxHeldAttachmentChars) {
        LOG_OUT(Kyr::LogWarning, "MailSender - attachment of '%1' not kept: %2 characters of attachments waiting")
            .arg(text)
            .arg(held)
            .endl();
        m_mailEntries.append({text + QStringLiteral(" (attachment not kept: report size limit)"), QString(), QString()});
        return;
    }
    m_mailEntries.append({text, attachmentSuffix, attachmentContent});
}

void MailSender::addMiscMessage(const QString &text)
{
    QMutexLocker lock(&m_mutex);
    if (collecting() && !m_miscMessages.contains(text))
        m_miscMessages.append(text);
}

void MailSender::addCreatedAks(const QString &aks)
{
    QMutexLocker lock(&m_mutex);
    if (collecting() && !m_createdAks.contains(aks))
        m_createdAks.append(aks);
}

void MailSender::forceReport()
{
    QMetaObject::invokeMethod(this, &MailSender::onForceReport, Qt::QueuedConnection);
}

QString MailSender::lastReportText() const
{
    QMutexLocker lock(&m_mutex);
    return m_lastReportText;
}

QString MailSender::lastError() const
{
    QMutexLocker lock(&m_mutex);
    return m_lastError;
}

void MailSender::setLastError(const QString &text, bool emitAlways)
{
    QMutexLocker lock(&m_mutex);
    const bool changed = m_lastError != text;
    m_lastError = text;
    lock.unlock();
    if (changed || emitAlways)
        emit sigLastErrorChanged(text);
}

void MailSender::onForceReport()
{
    if (!m_checkTimer.isActive())
        return;
    {
        QMutexLocker lock(&m_mutex);
        m_lastReportText = QStringLiteral("creating...");
    }
    m_previousBody.clear();
    m_checkTimer.start(100);
}

void MailSender::onCheckTimer()
{
    if (configurationMissing()) {
        QMutexLocker lock(&m_mutex);
        const bool first = !m_missingConfiguration;
        m_missingConfiguration = true;
        lock.unlock();
        if (first) {
            setLastError(QStringLiteral("Missing configuration"));
            LOG_OUT(Kyr::LogError, "MailSender - Missing configuration").endl();
        }
        m_checkTimer.start(30 * m_timing.minuteMs);
        return;
    }
    const int r = buildAndDeliver();
    if (r >= 0)
        m_checkTimer.start(m_config.checkInterval * m_timing.minuteMs);
    else if (r == -1)
        m_checkTimer.start(m_timing.minuteMs);
    else
        m_checkTimer.start(5 * m_timing.minuteMs);
}

// "DMS/PDBS:" and "IMAP:" lines of what runs; a part that is not ready is a problem.
QString MailSender::linkLines(const std::optional<ReportSources::DmsPart> &dms, bool &problem) const
{
    QString lines;
    if (dms) {
        lines += QStringLiteral("DMS/PDBS: ") + (dms->ready ? QStringLiteral("Ok\n") : QStringLiteral("not ready\n"));
        problem = problem || !dms->ready;
    }
    if (const std::optional<bool> imapOk = m_sources ? m_sources->imapStateOk() : std::nullopt) {
        lines += QStringLiteral("IMAP: ") + (*imapOk ? QStringLiteral("Ok\n") : QStringLiteral("not ready\n"));
        problem = problem || !*imapOk;
    }
    return lines;
}

// The failed mails, each with a reference to its attachment file when one goes along.
QString MailSender::mailHandlingSection(const QList<MailEntry> &entries, QList<Attachment> &attachments)
{
    if (entries.isEmpty())
        return QStringLiteral("Ok\n");
    QString text = QString::number(entries.size()) + QStringLiteral(" errors\n");
    for (const MailEntry &e : entries) {
        text += QStringLiteral("- ") + e.text + QLatin1Char('\n');
        if (!e.attachmentSuffix.isEmpty() || !e.attachmentContent.isEmpty()) {
            const QString name = QStringLiteral("Attachment") + QString::number(attachments.size() + 1) + e.attachmentSuffix;
            attachments.append({name, e.attachmentContent});
            text += QStringLiteral("  (see ") + name + QStringLiteral(")\n");
        }
    }
    return text;
}

int MailSender::buildAndDeliver()
{
    const QString header = QStringLiteral("Quillon status report\n") + QString(24, QLatin1Char('-'))
                           + QStringLiteral("\ncreated on ") + QDateTime::currentDateTime().toString(Qt::ISODate)
                           + QStringLiteral("\n\n");
    bool problem = false;
    const std::optional<ReportSources::DmsPart> dms = m_sources ? m_sources->dms() : std::nullopt;
    QString body = linkLines(dms, problem);

    Taken taken;
    {
        QMutexLocker lock(&m_mutex);
        taken.mailEntries.swap(m_mailEntries);
        taken.miscMessages.swap(m_miscMessages);
        taken.createdAks.swap(m_createdAks);
    }
    QList<Attachment> attachments;
    body += QStringLiteral("\nMail handling: ") + mailHandlingSection(taken.mailEntries, attachments) + QLatin1Char('\n');
    problem = problem || !taken.mailEntries.isEmpty();

    if (dms) {
        body += QStringLiteral("Datapoint states: ") + countedLines(dms->stateErrorLines, QStringLiteral(" errors\n"));
        body += QStringLiteral("\nDatapoint updates: ") + countedLines(dms->expiredPointLines, QStringLiteral(" expired\n"));
        body += QLatin1Char('\n');
        problem = problem || !dms->stateErrorLines.isEmpty() || !dms->expiredPointLines.isEmpty();
    }
    if (!taken.miscMessages.isEmpty()) {
        body += QStringLiteral("Miscellaneous: ") + QString::number(taken.miscMessages.size()) + QStringLiteral(" messages\n")
                + itemLines(sorted(taken.miscMessages)) + QLatin1Char('\n');
        problem = true;
    }
    QString created;
    if (!taken.createdAks.isEmpty()) {
        created = QString::number(taken.createdAks.size()) + QStringLiteral(" AKS created:\n")
                  + itemLines(sorted(taken.createdAks)) + QLatin1Char('\n');
    }

    int r = 0;
    const bool due = (body != m_previousBody && !m_firstCheck) || !created.isEmpty();
    const bool anyRecipient = std::any_of(m_config.users.cbegin(), m_config.users.cend(),
                                          [](const ReportUser &u) { return u.enabled; });
    const QString report = header + created + body;
    if (!due)
        LOG_OUT(Kyr::LogDebug, "Status report unchanged, not sent").endl();
    else if (!anyRecipient)
        LOG_OUT(Kyr::LogNotice, "Status report not sent: no recipient enabled").endl();
    else
        r = deliver(problem ? m_config.subjectOnError : m_config.subjectOnOk, report, attachments);

    if (r >= 0) {
        m_previousBody = body;
        m_firstCheck = false;
        QMutexLocker lock(&m_mutex);
        m_lastReportText = report;
    } else {
        putBack(taken);
    }
    return r;
}

void MailSender::putBack(const Taken &taken)
{
    QMutexLocker lock(&m_mutex);
    m_mailEntries = taken.mailEntries + m_mailEntries;
    putBackDistinct(m_miscMessages, taken.miscMessages);
    putBackDistinct(m_createdAks, taken.createdAks);
}

int MailSender::deliver(const QString &subject, const QString &text, const QList<Attachment> &attachments)
{
    const SmtpClient::ConnectionType type = m_config.connType == QLatin1String("SSL")   ? SmtpClient::SslConnection
                                            : m_config.connType == QLatin1String("TLS") ? SmtpClient::TlsConnection
                                                                                        : SmtpClient::TcpConnection;
    SmtpClient smtp(m_config.host, m_config.port, type);
    // The report goes to the operator's own mail server, often with a self-signed certificate:
    // the connection is encrypted but the server's certificate is not checked.
    smtp.setPeerVerification(false);
    connect(&smtp, &SmtpClient::error, this, &MailSender::onSmtpError);
    smtp.setName(m_config.name);

    MimeMessage message;
    message.setSender(EmailAddress(m_config.sender, m_applicationName));
    for (const ReportUser &u : m_config.users) {
        if (u.enabled)
            message.addRecipient(EmailAddress(u.address, u.name), MimeMessage::To);
    }
    message.setSubject(subject);
    message.addHeaderLine(QStringLiteral("Message-ID: ") + messageId());
    message.addPart(MimeText(text + QStringLiteral("\n") + QStringLiteral("\n---\n") + m_applicationName
                             + QStringLiteral("\n") + VersionLine));
    for (const Attachment &a : attachments) {
        MimeText part(a.content);
        part.addHeaderLine(QStringLiteral("Content-disposition: attachment; filename=\"") + a.name
                           + QStringLiteral(".txt\""));
        part.setContentType(QStringLiteral("text/plain"));
        part.setEncoding(MimePart::Base64);
        part.setContentName(a.name + QStringLiteral(".txt"));
        message.addPart(part);
    }

    smtp.connectToHost();
    if (!smtp.waitForReadyConnected(WaitMs)) {
        ++m_connectFailures;
        const QString error = QStringLiteral("Could not connectToHost() %1 [%2]").arg(m_connectFailures).arg(smtp.responseText());
        if (m_connectFailures < 3) {
            LOG_OUT(m_connectFailures == 1 ? Kyr::LogInfo : Kyr::LogWarning, "%1").arg(error).endl();
            setLastError(QString(), true);
            return -1;
        }
        LOG_OUT(Kyr::LogError, "%1").arg(error).endl();
        setLastError(error, true);
        return -11;
    }
    smtp.login(m_config.userName, m_config.password,
               m_config.authType == QLatin1String("LOGIN") ? SmtpClient::AuthLogin : SmtpClient::AuthPlain);
    if (!smtp.waitForAuthenticated(WaitMs)) {
        const QString error = QStringLiteral("Could not login() [%1]").arg(smtp.responseText());
        LOG_OUT(Kyr::LogError, "%1").arg(error).endl();
        smtp.quit();
        setLastError(error, true);
        return -21;
    }
    smtp.sendMail(message);
    if (!smtp.waitForMailSent(WaitMs)) {
        const QString error = QStringLiteral("Could not sendMail() [%1]").arg(smtp.responseText());
        LOG_OUT(Kyr::LogError, "%1").arg(error).endl();
        smtp.quit();
        setLastError(error, true);
        return -22;
    }
    smtp.quit();
    ++ServiceCounters::instance().reportsSent;
    setLastError(QString(), true);
    return 0;
}

void MailSender::onSmtpError(SmtpClient::SmtpError e)
{
    LOG_OUT(Kyr::LogWarning, "onSmtpError: %1, %2")
        .arg(int(e))
        .arg(QString::fromLatin1(QMetaEnum::fromType<SmtpClient::SmtpError>().valueToKey(e)))
        .endl();
}
