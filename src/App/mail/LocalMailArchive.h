#pragma once
// The local archive of handled mails: one .eml file per mail in a folder per day (or a fixed
// folder), named after the mail's date, sender and subject.

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace LocalMailArchive {
// A folder setting with "'" is a date-time format of now ("'/srv/mails/ok/'yyyyMMdd"); any other
// is the folder itself.
QString folderFor(const QString &setting, const QDateTime &now);
// "yyyy-MM-dd hhmm - (sender) - subject", quotes and angle brackets removed, percent-encoded
// except letters, digits and "-._~ ()@", without the ".eml".
QString baseName(const QDateTime &mailDate, const QString &sender, const QString &subject);
// Writes headers, an empty line and the text to folder/baseName.eml, or to
// "baseName (n).eml" with the first n that is free; makes the folder. *path gets the file written
// (or, on failure, the file that could not be opened).
bool save(const QString &folder, const QString &baseName, const QByteArray &headers, const QByteArray &text,
          QString *path);
} // namespace LocalMailArchive
