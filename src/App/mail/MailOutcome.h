#pragma once
// What the handling of one mail has found so far: its result text ("Ok" until a step fails), the
// information text for the mail monitor (built only while someone listens), and the flags the
// filing needs.

#include "KyrLogger/LogExcerpt.h"
#include "KyrLogger/Logger.h"

#include <QString>

struct MailOutcome
{
    QString mailLine;            // "Subject:" + subject + ", sent:" + date header
    QString result = QStringLiteral("Ok");
    bool withInfo = false;       // sigMailChecked has receivers: build the information text
    QString info;
    bool encrypted = false;      // the decryption branch ran
    bool signedAndDecrypted = false;
    bool attachmentFound = false;

    bool ok() const { return result == QLatin1String("Ok"); }
    // A failing step: the result becomes the mail line followed by the step's text, logged (unless
    // log is false) with the mail's bytes in it escaped and cut short.
    void fail(const QString &text, bool log = true)
    {
        result = mailLine + text;
        if (log)
            LOG_OUT(Kyr::LogError, "%1%2").arg(Kyr::logExcerpt(mailLine)).arg(Kyr::logExcerpt(text)).endl();
    }
};
