#pragma once
// The local archive of handled mails: one .eml file per mail in a folder per day (or a fixed
// folder), named after the mail's date, sender and subject.

#include <QDateTime>
#include <QString>

namespace LocalMailArchive {
// A folder setting with "'" is a date-time format of now ("'/srv/mails/ok/'yyyyMMdd"); any other
// is the folder itself.
QString folderFor(const QString &setting, const QDateTime &now);
// The date of a mail's file name: the Date header's own wall-clock time at its own offset (a mail
// sent at 09:11 +0000 is named 0911 wherever it is filed), else now.
QDateTime nameDate(const QString &dateHeader, const QDateTime &now);
// "yyyy-MM-dd hhmm - (sender) - subject", quotes and angle brackets removed, percent-encoded
// except letters, digits and "-._~ ()@", without the ".eml". The date is written as it is held,
// never converted to local time.
QString baseName(const QDateTime &mailDate, const QString &sender, const QString &subject);
} // namespace LocalMailArchive
