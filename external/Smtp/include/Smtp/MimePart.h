#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// One part of a mail: content, content type, transfer encoding, an optional content name and
// further header lines ("Name: value"). A plain value; MimeMessage turns it into MIME.
class MimePart
{
public:
    enum Encoding { _7Bit, _8Bit, Base64, QuotedPrintable };

    virtual ~MimePart() = default;

    void setContent(const QByteArray &content) { m_content = content; }
    QByteArray content() const { return m_content; }
    void setContentType(const QString &type) { m_contentType = type; }
    QString contentType() const { return m_contentType; }
    void setCharset(const QString &charset) { m_charset = charset; }
    QString charset() const { return m_charset; }
    void setEncoding(Encoding encoding) { m_encoding = encoding; }
    Encoding encoding() const { return m_encoding; }
    // The "name" parameter of the content type.
    void setContentName(const QString &name) { m_contentName = name; }
    QString contentName() const { return m_contentName; }
    // A further header line, for example a Content-Disposition.
    void addHeaderLine(const QString &line) { m_headerLines.append(line); }
    QStringList headerLines() const { return m_headerLines; }

private:
    QByteArray m_content;
    QString m_contentType = QStringLiteral("application/octet-stream");
    QString m_charset;
    Encoding m_encoding = Base64;
    QString m_contentName;
    QStringList m_headerLines;
};
