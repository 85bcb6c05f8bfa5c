#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

#include <memory>

// MIME decoder. It takes a header block and a message body (or a whole entity as the message with
// an empty header block), decodes the entity and offers its content type, its headers and its
// parts. A multipart entity lists its direct children; any other entity is its own single part.
// Nested multiparts are decoded again from a part's headers and decoded content.
class MIME : public QObject
{
    Q_OBJECT

public:
    using Header = QPair<QString, QString>;
    struct Address
    {
        QString name;
        QString address;
    };

    explicit MIME(QObject *parent = nullptr);
    ~MIME() override;

    void setMessageHeadersString(const QByteArray &headers) { m_headers = headers; }
    void setMessage(const QByteArray &message) { m_message = message; }
    QByteArray messageHeadersString() const { return m_headers; }
    QByteArray message() const { return m_message; }

    int decodeFromString();
    QString lastError() const { return m_lastError; }

    QString contentType() const;
    // Parameters of the content type as name="value" entries joined by "; ".
    QString contentTypeAttr() const;
    QString contentTypeParameter(const QString &name) const;
    QList<Header> messageHeaders() const;

    int partCount() const;
    QString partContentId(int index) const;
    QString partContentType(int index) const;
    QString partContentTypeAttr(int index) const;
    QString partContentDisposition(int index) const;
    QString partContentDispositionAttr(int index) const;
    QString partEncoding(int index) const;
    // The part's header block, lines ending in CRLF.
    QByteArray partHeaders(int index) const;
    QString partName(int index) const;
    QString partFilename(int index) const;
    // Size of the decoded content in bytes.
    qint64 partSize(int index) const;
    // Content with its transfer encoding undone; for a multipart or an embedded message, its body.
    QByteArray partDecodedContent(int index) const;

    // Decodes encoded words (RFC 2047) of a header value.
    static QString decodeHeaderText(const QByteArray &text);
    // Splits an unfolded header block into names and decoded values.
    static QList<Header> parseHeaderBlock(const QByteArray &block);
    // Reads an address list such as a To header.
    static QList<Address> parseAddressList(const QString &text);

private:
    struct Decoded;
    std::unique_ptr<Decoded> m_decoded;
    QByteArray m_headers;
    QByteArray m_message;
    QString m_lastError;
};
