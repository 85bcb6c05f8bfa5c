#include "mail/MailHandler.h"

#include "mail/AttachmentWalk.h"
#include "mail/CheckInterval.h"
#include "mail/KeptMail.h"
#include "mail/LocalMailArchive.h"
#include "mail/MailBatchFetch.h"
#include "mail/MailInfoText.h"
#include "mail/MailLimits.h"
#include "mail/MailListOrder.h"
#include "mail/MailOutcome.h"
#include "mail/SmimeSteps.h"
#include "mail/StepHold.h"
#include "mail/TrustedSigners.h"

#include "dms/StatusReportSink.h"
#include "service/ServiceCounters.h"

#include "KyrLogger/Logger.h"
#include "MailSecurity/SIMAP.h"

#include <QDir>
#include <QElapsedTimer>
#include <QMetaMethod>
#include <QSet>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <vector>

namespace {

QString numbers(const QList<qint64> &set)
{
    QStringList texts;
    for (qint64 n : set)
        texts << QString::number(n);
    return texts.join(u',');
}

// Header fields of a block (a field with its folded continuation lines), and the field's name.
QList<QByteArray> headerFields(const QByteArray &block)
{
    QList<QByteArray> fields;
    for (const QByteArray &line : block.split('\n')) {
        const QByteArray bare = line.endsWith('\r') ? line.chopped(1) : line;
        if (!fields.isEmpty() && (bare.startsWith(' ') || bare.startsWith('\t')))
            fields.last() += "\r\n" + bare;
        else if (!bare.isEmpty())
            fields << bare;
    }
    return fields;
}

QByteArray fieldName(const QByteArray &field)
{
    return field.left(field.indexOf(':')).trimmed().toLower();
}

// The header block kept with a decrypted mail: the decrypted entity's headers, plus every header
// of the mail as fetched whose name the decrypted headers do not have.
QByteArray rebuiltHeaders(const QByteArray &decrypted, const QByteArray &fetched)
{
    QByteArray block = decrypted;
    while (block.endsWith('\n') || block.endsWith('\r'))
        block.chop(1);
    QSet<QByteArray> names;
    for (const QByteArray &field : headerFields(decrypted))
        names.insert(fieldName(field));
    for (const QByteArray &field : headerFields(fetched)) {
        if (!names.contains(fieldName(field)))
            block += "\r\n" + field;
    }
    return block;
}

DataParser::ValueRec endOfCheckRecord()
{
    DataParser::ValueRec rec;
    rec.timestamp = QDateTime::currentDateTime();
    rec.iaks = QStringLiteral("ENDMAILCHECK");
    rec.aks = QStringLiteral("ENDMAILCHECK");
    return rec;
}

} // namespace

// How a check ended: its code (0 or a negative failure), its result text, whether mails were left
// for lack of the per-check limit, and whether it failed to connect in a way that is retried soon.
struct MailHandler::CheckResult
{
    int code = 0;
    QString text = QStringLiteral("OK");
    bool moreMailsWaiting = false;
    bool transientFailure = false;
};

// Where the time of a check goes, for the log and the benchmark.
struct MailHandler::CheckTimes
{
    qint64 imapNs = 0;
    qint64 smimeNs = 0;
    qint64 parseNs = 0;
    qint64 valuesNs = 0; // hand-over and the wait until the values are committed
    qint64 values = 0;
};

// One handled mail until its check files it: what the filing needs of it and what is kept of it.
struct MailHandler::HandledMail
{
    qint64 number = 0;
    qint64 uid = 0;
    enum class Folder { None, Success, Failed };
    Folder folder = Folder::None; // where the mail is filed on the server; None: only deleted from the inbox
    bool filed = false; // it left the inbox
    bool fetched = true; // false: larger than the mail bound, only its headers were fetched
    QString subject, date, from;
    QByteArray fetchedHeaders, fetchedText; // as fetched, until the mail is kept
    MailOutcome outcome;
    KeptMail kept;
    bool archived = false;      // kept for the local archive
    bool decryptedCopy = false; // kept for the folder of decrypted mails on the server
};

// The mails of a check, in order.
struct MailHandler::Filing
{
    std::vector<HandledMail> mails;
};

MailHandler::MailHandler(const MailConfig &config) : m_config(config)
{
    moveToThread(this);
}

MailHandler::~MailHandler()
{
    LOG_OUT(Kyr::LogInfo, "MailHandler handler finished (%1)").arg(m_config.host).endl();
}

void MailHandler::run()
{
    LOG_OUT(Kyr::LogInfo, "MailHandler handler started (%1)").arg(m_config.host).endl();
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &MailHandler::onCheckTimer);
    m_timer = &timer;
    armTimer(20);
    emit sigLastErrorChanged(QString());
    exec();
    timer.stop();
    m_timer = nullptr;
}

void MailHandler::forceMailCheck()
{
    QMetaObject::invokeMethod(this, &MailHandler::onForceMailCheck, Qt::QueuedConnection);
}

void MailHandler::onForceMailCheck()
{
    if (m_timer && m_timer->isActive())
        m_timer->start(100);
}

void MailHandler::armTimer(qint64 seconds)
{
    // QTimer counts in int milliseconds: about 24 days at most.
    const qint64 bounded = std::clamp<qint64>(seconds, 0, INT_MAX / 1000);
    m_timer->start(int(bounded * 1000));
    emit sigNextCheckDt(QDateTime::currentDateTime().addSecs(bounded));
}

bool MailHandler::listensToMailChecked() const
{
    static const QMetaMethod checked = QMetaMethod::fromSignal(&MailHandler::sigMailChecked);
    return isSignalConnected(checked);
}

void MailHandler::OnConnectionStatus(SIMAPConnectionStatusEventParams *params)
{
    Q_UNUSED(params)
}

void MailHandler::OnError(SIMAPErrorEventParams *params)
{
    LOG_OUT(Kyr::LogWarning, "MailHandler OnError: EventRetVal:%1, ErrorCode:%2, Description:%3")
        .arg(params->eventRetVal)
        .arg(params->errorCode)
        .arg(params->description)
        .endl();
}

void MailHandler::onCheckTimer()
{
    if (m_config.host.isEmpty() || m_config.port == 0 || m_config.userName.isEmpty() || m_config.password.isEmpty()) {
        if (!m_configErrorReported) {
            m_configErrorReported = true;
            emit sigLastErrorChanged(QStringLiteral("Missing configuration"));
            LOG_OUT(Kyr::LogError, "MailHandler - Missing configuration").endl();
        }
        armTimer(1800);
        ServiceCounters::instance().checkSkipped(QStringLiteral("<ConfigError>"));
        if (listensToMailChecked())
            emit sigMailChecked(QStringLiteral("-"), QString(), QStringLiteral("<ConfigError>"));
        return;
    }
    if (m_paused) {
        armTimer(60);
        ServiceCounters::instance().checkSkipped(QStringLiteral("<Paused>"));
        if (listensToMailChecked())
            emit sigMailChecked(QStringLiteral("-"), QString(), QStringLiteral("<Paused>"));
        return;
    }
    DmsHandler *dms = m_dms;
    if (!dms || m_dmsState != DmsHandler::Idle || !dms->isReady()) {
        armTimer(120);
        emit sigLastErrorChanged(QStringLiteral("DMS/PDBS not ready"));
        ServiceCounters::instance().checkSkipped(QStringLiteral("<DMS/PDBS not ready>"));
        if (listensToMailChecked())
            emit sigMailChecked(QStringLiteral("-"), QString(), QStringLiteral("<DMS/PDBS not ready>"));
        return;
    }
    if (dms->isBusy()) {
        armTimer(60);
        ServiceCounters::instance().checkSkipped(QStringLiteral("<DMS handler busy>"));
        if (listensToMailChecked())
            emit sigMailChecked(QStringLiteral("-"), QString(), QStringLiteral("<DMS handler busy>"));
        return;
    }
    const CheckResult check = runCheck();
    if (check.moreMailsWaiting)
        armTimer(60);
    else if (check.transientFailure)
        armTimer(45);
    else
        armTimer(CheckInterval::seconds(m_config.checkInterval, QDateTime::currentDateTime()));
}

MailHandler::CheckResult MailHandler::runCheck()
{
    CheckResult check;
    CheckTimes times;
    QString summary;
    emit sigMailInfo(QStringLiteral("Checking mails"));
    emit sigNextCheckDt(QDateTime());

    QElapsedTimer clock;
    clock.start();
    SIMAP imap;
    connect(&imap, &SIMAP::ConnectionStatus, this, &MailHandler::OnConnectionStatus);
    connect(&imap, &SIMAP::Error, this, &MailHandler::OnError);
    imap.config(QStringLiteral("RefetchHeaders=False"));
    imap.config(m_config.useMSCryptoAPI_Decrypt ? QStringLiteral("UseInternalSecurityAPI=False")
                                                : QStringLiteral("UseInternalSecurityAPI=True"));
    imap.setCertificate(0, QStringLiteral("MY"), QString(), QStringLiteral("*"));
    imap.setMailServer(m_config.host);
    imap.setMailPort(m_config.port);
    if (m_config.ssl)
        imap.setSSL(SIMAP::SslImplicit);
    // Without it the client refuses to send the password over a connection that stays unencrypted.
    imap.config(m_config.allowPlainLogin ? QStringLiteral("AllowPlainLogin=True") : QStringLiteral("AllowPlainLogin=False"));
    imap.setUser(m_config.userName);
    imap.setPassword(m_config.password);
    if (imap.connectToHost() != 0) {
        const int failures = ++m_connectionFailures;
        check.code = -1;
        check.text = QStringLiteral("Could not connectToHost() %1 :").arg(failures) + imap.lastError();
        check.transientFailure = failures <= 3;
        const int level = failures == 1 ? Kyr::LogInfo : failures <= 3 ? Kyr::LogWarning : Kyr::LogError;
        LOG_OUT(quint8(level), "%1").arg(check.text).endl();
    } else {
        times.imapNs += clock.nsecsElapsed();
        runSession(imap, check, summary, times);
        m_connectionFailures = 0;
    }
    disconnect(&imap, nullptr, this, nullptr);
    emit sigMailInfo(QStringLiteral("Idle"));

    if (DmsHandler *dms = m_dms)
        dms->addMailValue(endOfCheckRecord());
    emit sigLastErrorChanged(check.code >= 0 || check.transientFailure ? QString() : check.text);
    if (listensToMailChecked())
        emit sigMailChecked(QStringLiteral("End of mail check, summary:\r\n") + summary, QString(), check.text);
    ServiceCounters::instance().checkDone(clock.elapsed(), check.text);
    LOG_OUT(Kyr::LogDebug, "Mail check: %1 values; IMAP %2 ms, S/MIME %3 ms, parsing %4 ms, value path %5 ms")
        .arg(times.values)
        .arg(times.imapNs / 1000000)
        .arg(times.smimeNs / 1000000)
        .arg(times.parseNs / 1000000)
        .arg(times.valuesNs / 1000000)
        .endl();
    return check;
}

void MailHandler::runSession(SIMAP &imap, CheckResult &check, QString &summary, CheckTimes &times)
{
    QElapsedTimer clock;
    clock.start();
    ensureFolders(imap);
    imap.setMailbox(m_config.inboxFolder);
    if (imap.selectMailbox() != 0) {
        check.code = -2;
        // The text names INBOX whatever the folder setting says.
        check.text = QStringLiteral("Could not select('INBOX'):") + imap.lastError();
        LOG_OUT(Kyr::LogError, "%1").arg(check.text).endl();
        imap.disconnectFromHost();
        times.imapNs += clock.nsecsElapsed();
        return;
    }
    const int count = imap.messageCount();
    summary += QStringLiteral("MessageCount:%1\r\n").arg(count);
    if (count < 1) {
        LOG_OUT(Kyr::LogWarning, "No mails to process").endl();
    } else {
        imap.setMessageSet(QStringLiteral("1:%1").arg(count));
        if (imap.fetchMessageInfo() != 0) {
            check.code = -3;
            check.text = QStringLiteral("Could not FetchMessageInfo():") + imap.lastError();
            LOG_OUT(Kyr::LogError, "%1").arg(check.text).endl();
        } else {
            const QList<SIMAPMessageInfo> list = imap.messageInfoList();
            summary += QStringLiteral("Fetched:%1\r\n").arg(list.size());
            QList<qint64> ordered = MailListOrder::ascending(list, QDateTime::currentDateTime());
            if (m_config.maxMailsPerSession < ordered.size()) {
                summary += QStringLiteral("Reducing to max %1 per session\r\n").arg(m_config.maxMailsPerSession);
                ordered.resize(qMax(0, m_config.maxMailsPerSession));
                check.moreMailsWaiting = true;
            }
            times.imapNs += clock.nsecsElapsed();
            handleMails(imap, ordered, list, check, summary, times);
            clock.restart();
        }
    }
    imap.closeMailbox();
    imap.disconnectFromHost();
    times.imapNs += clock.nsecsElapsed();
}

void MailHandler::ensureFolders(SIMAP &imap)
{
    imap.setMailbox(QStringLiteral("*"));
    imap.listMailboxes();
    const QStringList existing = imap.mailboxList();
    const struct
    {
        bool enabled;
        QString folder;
        const char *logText;
    } targets[] = {
        {m_config.successCopyToImap, m_config.successImapFolder, "Creating success folder %1"},
        {m_config.successCopyToImapDecrypted, m_config.successImapFolderDecrypted, "Creating success folder (decrypted) %1"},
        {m_config.failedCopyToImap, m_config.failedImapFolder, "Creating failed folder %1"},
    };
    for (const auto &target : targets) {
        if (!target.enabled || existing.contains(target.folder))
            continue;
        LOG_OUT(Kyr::LogInfo, target.logText).arg(target.folder).endl();
        imap.setMailbox(target.folder);
        if (imap.createMailbox() != 0)
            LOG_OUT(Kyr::LogInfo, "Could not createMailbox() %1").arg(target.folder).endl();
    }
}

void MailHandler::handleMails(SIMAP &imap, const QList<qint64> &ordered, const QList<SIMAPMessageInfo> &list,
                              CheckResult &check, QString &summary, CheckTimes &times)
{
    Filing filing;
    const TrustedSigners signers;
    MailBatchFetch batches(imap, ordered, list);
    for (qsizetype n = 1; n <= ordered.size(); ++n) {
        const qint64 number = ordered.at(n - 1);
        emit sigMailInfo(QStringLiteral("Processing mail %1 from %2").arg(n).arg(ordered.size()));
        const bool fetched = fetchMail(imap, batches, n - 1, times);
        // A mail that could not be fetched for a lost connection is no failed mail: it stays.
        if (!imap.connected())
            return logDisconnection();
        HandledMail mail = checkMail(imap, int(n - 1), number, fetched, signers, times);
        QElapsedTimer clock;
        clock.start();
        planFiling(imap, std::move(mail), filing);
        times.imapNs += clock.nsecsElapsed();
        StepHold::at("handed");
        if (!imap.connected())
            return logDisconnection();
    }
    if (!valuesCommitted(times)) {
        // Nothing is filed: every mail stays in the inbox for the next check, which files it.
        summary += QStringLiteral("Mails ok:0\r\nMails failed:0\r\nMails left on the server:%1\r\n")
                       .arg(filing.mails.size());
        return;
    }
    // The copies go in place while the mail is still in the inbox: a mail taken again after a
    // crash finds its identical local copy there and writes none, whereas a copy written after the
    // mail left could be lost.
    for (const HandledMail &mail : filing.mails) {
        if (mail.decryptedCopy)
            appendDecrypted(imap, mail.kept);
    }
    keepLocally(filing);
    StepHold::at("kept");
    QElapsedTimer clock;
    clock.start();
    const QStringList errors = fileOnServer(imap, filing);
    times.imapNs += clock.nsecsElapsed();
    StepHold::at("filed");
    reportFiled(filing, errors, check, summary);
}

void MailHandler::logDisconnection()
{
    LOG_OUT(Kyr::LogWarning, "Aborting due to disconnection").endl();
}

bool MailHandler::fetchMail(SIMAP &imap, MailBatchFetch &batches, qsizetype position, CheckTimes &times)
{
    QElapsedTimer clock;
    clock.start();
    imap.setCertificate(0, QStringLiteral("MY"), QString(), QStringLiteral("*"));
    imap.setSignerCert(0, QStringLiteral("MY"), QString(), QStringLiteral("*"));
    const bool fetched = batches.fetch(position);
    times.imapNs += clock.nsecsElapsed();
    return fetched;
}

MailHandler::HandledMail MailHandler::checkMail(SIMAP &imap, int position, qint64 number, bool fetched,
                                                const TrustedSigners &signers, CheckTimes &times)
{
    HandledMail mail;
    mail.number = number;
    mail.uid = imap.messageId();
    mail.fetched = fetched;
    mail.subject = imap.messageSubject();
    mail.date = imap.messageDate();
    mail.from = imap.messageFrom();
    mail.fetchedHeaders = imap.messageHeadersString().toLatin1();
    mail.fetchedText = imap.messageText().toLatin1();
    MailOutcome &outcome = mail.outcome;
    outcome.mailLine = QStringLiteral("Subject:") + mail.subject + QStringLiteral(", sent:") + mail.date;
    outcome.withInfo = listensToMailChecked();
    if (outcome.withInfo)
        outcome.info = QStringLiteral("Mail #%1-%2").arg(position).arg(number) + MailInfoText::mailBlock(imap);
    if (!fetched) {
        outcome.fail(QStringLiteral(" - Mail of %1 bytes is larger than %2 bytes (limit of one mail), not fetched")
                         .arg(imap.messageSize())
                         .arg(MailLimits::MaxMailBytes));
    } else {
        runSteps(imap, signers, outcome, times);
    }
    if (outcome.withInfo)
        emit sigMailChecked(outcome.info, QStringLiteral("MAIL-SUMMARY"), outcome.result);
    return mail;
}

void MailHandler::runSteps(SIMAP &imap, const TrustedSigners &signers, MailOutcome &outcome, CheckTimes &times)
{
    QElapsedTimer clock;
    clock.start();
    SmimeSteps::run(imap, m_config, signers, outcome);
    times.smimeNs += clock.nsecsElapsed();
    if (!outcome.ok())
        return;
    AttachmentWalk::AttachmentReport report;
    if (outcome.withInfo) {
        report = [this](const QString &info, const QString &data, const QString &result) {
            emit sigMailChecked(info, data, result);
        };
    }
    AttachmentWalk walk(outcome, m_dms, report);
    walk.run(imap.messageHeadersString().toLatin1(), imap.messageText().toLatin1());
    times.parseNs += walk.parseNs();
    times.valuesNs += walk.handOverNs();
    times.values += walk.valueCount();
}

void MailHandler::planFiling(SIMAP &imap, HandledMail mail, Filing &filing)
{
    const MailOutcome &outcome = mail.outcome;
    QString localFolder;
    if (outcome.ok()) {
        if (m_config.successCopyToImap && !(outcome.encrypted && m_config.successCopyToImapWithoutEncrypted))
            mail.folder = HandledMail::Folder::Success;
        mail.decryptedCopy = outcome.encrypted && m_config.successCopyToImapDecrypted;
        if (m_config.successCopyToLocal)
            localFolder = m_config.successLocalFolder;
    } else {
        if (m_config.failedCopyToImap)
            mail.folder = HandledMail::Folder::Failed;
        // A mail that was not fetched has nothing to keep locally; it is in the failed folder.
        if (m_config.failedCopyToLocal && mail.fetched)
            localFolder = m_config.failedLocalFolder;
    }
    keepMail(imap, mail, localFolder);
    mail.fetchedHeaders.clear();
    mail.fetchedText.clear();
    filing.mails.push_back(std::move(mail));
}

void MailHandler::keepMail(SIMAP &imap, HandledMail &mail, const QString &localFolder)
{
    mail.archived = !localFolder.isEmpty();
    if (!mail.archived && !mail.decryptedCopy)
        return;
    // What is kept of the mail: a decrypted one with its own and the outer headers; any other as
    // it was fetched.
    const bool decrypted = mail.outcome.encrypted;
    const QByteArray headers = decrypted ? rebuiltHeaders(imap.messageHeadersString().toLatin1(), mail.fetchedHeaders)
                                         : mail.fetchedHeaders;
    const QByteArray text = decrypted ? imap.messageText().toLatin1() : mail.fetchedText;
    if (mail.archived && headers.isEmpty()) {
        mail.outcome.fail(QStringLiteral(" - Could not FetchMessageText()"));
        mail.archived = false;
        return;
    }
    const QString folder = mail.archived ? LocalMailArchive::folderFor(localFolder, QDateTime::currentDateTime())
                                         : QDir::tempPath();
    QString path;
    if (mail.kept.write(folder, headers, text, &path))
        return;
    if (mail.decryptedCopy)
        LOG_OUT(Kyr::LogError, "Could not CopyToMailbox(successDecrypted)").endl();
    if (mail.archived)
        mail.outcome.fail(QStringLiteral(" - Could not save file:") + path);
    mail.archived = false;
    mail.decryptedCopy = false;
}

bool MailHandler::valuesCommitted(CheckTimes &times)
{
    // Values before filing: a mail leaves the inbox, and is kept or reported, only once its values
    // are in the point store.
    DmsHandler *dms = m_dms;
    if (!dms || times.values == 0)
        return true;
    QElapsedTimer clock;
    clock.start();
    const bool committed = dms->waitForValuesCommitted(MailLimits::ValueCommitTimeoutMs);
    times.valuesNs += clock.nsecsElapsed();
    if (!committed) {
        const QString text =
            QStringLiteral("Values of this check not all committed to the DMS (link down, or more than %1 s); "
                           "the mails stay on the server for the next check")
                .arg(MailLimits::ValueCommitTimeoutMs / 1000);
        LOG_OUT(Kyr::LogError, "%1").arg(text).endl();
        reportFailure(text);
    }
    return committed;
}

// A mail leaves the inbox only when it is filed. Where the server announces MOVE, each folder's
// mails go with one UID MOVE, so no crash leaves a mail both filed and in the inbox; elsewhere they
// are copied, and only the mails whose copy succeeded are marked and expunged. A mail whose filing
// failed stays in the inbox and is taken again by the next check (deleting it anyway would lose the
// mail and, with a folder gone, any trace of it).
QStringList MailHandler::fileOnServer(SIMAP &imap, Filing &filing)
{
    QStringList errors;
    emit sigMailInfo(QStringLiteral("Copying..."));
    const bool move = imap.serverSupports(QStringLiteral("MOVE"));
    imap.setUidMode(true);
    QSet<qint64> leaving, marked;
    const auto file = [&](HandledMail::Folder target, const QString &folder, const char *role) {
        QList<qint64> set;
        for (const HandledMail &mail : filing.mails) {
            if (mail.folder == target && mail.uid > 0)
                set << mail.uid;
        }
        if (set.isEmpty())
            return;
        imap.setMessageSet(numbers(set));
        imap.setMailbox(folder);
        if ((move ? imap.moveToMailbox() : imap.copyToMailbox()) == 0) {
            (move ? leaving : marked).unite(QSet<qint64>(set.begin(), set.end()));
            return;
        }
        const QString text = QStringLiteral("Could not %1(%2)").arg(move ? "MoveToMailbox" : "CopyToMailbox", role);
        LOG_OUT(Kyr::LogError, "%1: %2").arg(text).arg(imap.lastError()).endl();
        errors << text;
    };
    file(HandledMail::Folder::Success, m_config.successImapFolder, "success");
    file(HandledMail::Folder::Failed, m_config.failedImapFolder, "failed");
    for (const HandledMail &mail : filing.mails) {
        if (mail.folder == HandledMail::Folder::None && mail.uid > 0)
            marked.insert(mail.uid);
    }
    emit sigMailInfo(QStringLiteral("Deleting..."));
    if (!marked.isEmpty()) {
        QList<qint64> set(marked.begin(), marked.end());
        std::sort(set.begin(), set.end());
        imap.setMailbox(m_config.inboxFolder);
        imap.setMessageSet(numbers(set));
        if (imap.deleteFromMailbox() != 0) {
            LOG_OUT(Kyr::LogError, "Could not DeleteFromMailbox()").endl();
            errors << QStringLiteral("Could not DeleteFromMailbox()");
        } else if (imap.expungeMailbox() != 0) {
            LOG_OUT(Kyr::LogWarning, "Could not ExpungeMailbox()").endl();
            errors << QStringLiteral("Could not ExpungeMailbox()");
        } else {
            leaving.unite(marked);
        }
    }
    imap.setUidMode(false);
    for (HandledMail &mail : filing.mails)
        mail.filed = leaving.contains(mail.uid);
    return errors;
}

void MailHandler::appendDecrypted(SIMAP &imap, const KeptMail &kept)
{
    QByteArray headers, text;
    imap.setMailbox(m_config.successImapFolderDecrypted);
    if (!kept.read(&headers, &text)) {
        LOG_OUT(Kyr::LogError, "Could not CopyToMailbox(successDecrypted)").endl();
        return;
    }
    imap.setMessageHeadersString(QString::fromLatin1(headers));
    imap.setMessageText(QString::fromLatin1(text));
    if (imap.appendToMailbox() != 0)
        LOG_OUT(Kyr::LogError, "Could not CopyToMailbox(successDecrypted)").endl();
}

void MailHandler::keepLocally(Filing &filing)
{
    const QDateTime now = QDateTime::currentDateTime();
    for (HandledMail &mail : filing.mails) {
        QString path;
        const QString name = LocalMailArchive::baseName(LocalMailArchive::nameDate(mail.date, now), mail.from, mail.subject);
        if (mail.archived && !mail.kept.place(name, &path))
            mail.outcome.fail(QStringLiteral(" - Could not save file:") + path);
    }
}

void MailHandler::reportFiled(const Filing &filing, const QStringList &errors, CheckResult &check, QString &summary)
{
    int ok = 0, failed = 0, left = 0;
    for (const HandledMail &mail : filing.mails) {
        if (!mail.filed) {
            ++left;
            continue;
        }
        // A mail counts and is reported on the check that files it, so a mail taken again is
        // counted once.
        if (mail.outcome.ok()) {
            ++ok;
        } else {
            ++failed;
            reportFailure(mail.outcome.result);
        }
    }
    ServiceCounters::instance().mailsHandled(ok, failed);
    summary += QStringLiteral("Mails ok:%1\r\nMails failed:%2\r\n").arg(ok).arg(failed);
    if (left == 0 && errors.isEmpty())
        return;
    if (left > 0)
        summary += QStringLiteral("Mails left on the server:%1\r\n").arg(left);
    check.code = -4;
    check.text = QStringLiteral("Could not file %1 mails, they stay in the inbox for the next check: ").arg(left)
                 + errors.join(QStringLiteral(" / "));
    LOG_OUT(Kyr::LogError, "%1").arg(check.text).endl();
    reportFailure(check.text);
}

void MailHandler::reportFailure(const QString &text)
{
    std::lock_guard lock(m_reportSinkMutex);
    if (m_reportSink)
        m_reportSink->addMailEntry(text, QString(), QString());
}
