#pragma once
// What is kept of one handled mail until its check files it: the header block and the text,
// written at once to a hidden part file (so a check holds no mail in memory, however many it
// handles) and then put in place as the mail's local .eml copy, read back for the decrypted copy
// on the server, or removed with this object when the check does not file the mail (its values
// were not committed, the connection was lost): the mail is then taken again by the next check,
// and nothing of it is kept twice. A part file left by a process that was killed is removed when
// this one first writes into the folder. The files are readable by their owner only.

#include <QByteArray>
#include <QString>

#include <memory>

class QTemporaryFile;

class KeptMail
{
public:
    KeptMail();
    KeptMail(KeptMail &&) noexcept;
    KeptMail &operator=(KeptMail &&) noexcept;
    ~KeptMail();

    // Writes headers, an empty line and text to a part file in the folder (made when missing).
    // False when that failed; *path then names the file that could not be written.
    bool write(const QString &folder, const QByteArray &headers, const QByteArray &text, QString *path);
    bool isWritten() const { return m_file != nullptr; }
    // The header block and the text as written.
    bool read(QByteArray *headers, QByteArray *text) const;
    // Renames the part file to baseName.eml in its folder, or to "baseName (n).eml" with the first
    // n that is free. A file of these names with the same bytes is the same mail kept by an earlier
    // take of it: then the part file goes and that file stays. *path gets the file's name (or, on
    // failure, the name it could not take).
    bool place(const QString &baseName, QString *path);

private:
    bool sameBytes(const QString &path) const;

    std::unique_ptr<QTemporaryFile> m_file; // closed between the calls
    QString m_folder;
    qsizetype m_headerBytes = 0;
};
