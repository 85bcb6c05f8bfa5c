// GLib headers use the identifier "signals", which Qt defines as a keyword: GMime comes first.
#include <gmime/gmime.h>

#include "Smtp/MimeMessage.h"

#include <mutex>

namespace {

void ensureGMime()
{
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

GMimeContentEncoding gmimeEncoding(MimePart::Encoding encoding)
{
    switch (encoding) {
    case MimePart::_7Bit:
        return GMIME_CONTENT_ENCODING_7BIT;
    case MimePart::_8Bit:
        return GMIME_CONTENT_ENCODING_8BIT;
    case MimePart::QuotedPrintable:
        return GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE;
    case MimePart::Base64:
        break;
    }
    return GMIME_CONTENT_ENCODING_BASE64;
}

// Sets a "Name: value" line as a header of the object; GMime reads the structured ones
// (Content-Disposition, ...) into the object's fields.
void setHeaderLine(GMimeObject *object, const QString &line)
{
    const qsizetype colon = line.indexOf(QLatin1Char(':'));
    if (colon <= 0)
        return;
    g_mime_object_set_header(object, line.left(colon).trimmed().toUtf8().constData(),
                             line.mid(colon + 1).trimmed().toUtf8().constData(), "utf-8");
}

GMimeObject *makePart(const MimePart &part)
{
    const QStringList type = part.contentType().split(QLatin1Char('/'));
    const QByteArray mediaType = type.value(0, QStringLiteral("application")).toUtf8();
    const QByteArray subType = type.value(1, QStringLiteral("octet-stream")).toUtf8();
    GMimePart *mimePart = g_mime_part_new_with_type(mediaType.constData(), subType.constData());
    GMimeObject *object = GMIME_OBJECT(mimePart);
    if (!part.charset().isEmpty())
        g_mime_object_set_content_type_parameter(object, "charset", part.charset().toUtf8().constData());
    if (!part.contentName().isEmpty())
        g_mime_object_set_content_type_parameter(object, "name", part.contentName().toUtf8().constData());
    for (const QString &line : part.headerLines())
        setHeaderLine(object, line);

    const QByteArray content = part.content();
    GMimeStream *stream = g_mime_stream_mem_new_with_buffer(content.constData(), size_t(content.size()));
    GMimeDataWrapper *wrapper = g_mime_data_wrapper_new_with_stream(stream, GMIME_CONTENT_ENCODING_DEFAULT);
    g_mime_part_set_content(mimePart, wrapper);
    g_mime_part_set_content_encoding(mimePart, gmimeEncoding(part.encoding()));
    g_object_unref(wrapper);
    g_object_unref(stream);
    return object;
}

void addMailboxes(GMimeMessage *message, GMimeAddressType type, const QList<EmailAddress> &addresses)
{
    for (const EmailAddress &a : addresses)
        g_mime_message_add_mailbox(message, type, a.name().toUtf8().constData(), a.address().toUtf8().constData());
}

} // namespace

void MimeMessage::addRecipient(const EmailAddress &address, RecipientType type)
{
    switch (type) {
    case To:
        m_to.append(address);
        break;
    case Cc:
        m_cc.append(address);
        break;
    case Bcc:
        m_bcc.append(address);
        break;
    }
}

QList<EmailAddress> MimeMessage::recipients() const
{
    return m_to + m_cc + m_bcc;
}

QByteArray MimeMessage::toMime() const
{
    ensureGMime();
    GMimeMessage *message = g_mime_message_new(TRUE);
    GMimeObject *object = GMIME_OBJECT(message);
    addMailboxes(message, GMIME_ADDRESS_TYPE_FROM, {m_sender});
    addMailboxes(message, GMIME_ADDRESS_TYPE_TO, m_to);
    addMailboxes(message, GMIME_ADDRESS_TYPE_CC, m_cc); // Bcc recipients stay in the envelope only
    g_mime_message_set_subject(message, m_subject.toUtf8().constData(), "utf-8");
    GDateTime *now = g_date_time_new_now_local();
    g_mime_message_set_date(message, now);
    g_date_time_unref(now);
    for (const QString &line : m_headerLines)
        setHeaderLine(object, line);

    if (m_parts.size() == 1) {
        GMimeObject *part = makePart(m_parts.first());
        g_mime_message_set_mime_part(message, part);
        g_object_unref(part);
    } else {
        GMimeMultipart *multipart = g_mime_multipart_new_with_subtype("mixed");
        for (const MimePart &p : m_parts) {
            GMimeObject *part = makePart(p);
            g_mime_multipart_add(multipart, part);
            g_object_unref(part);
        }
        g_mime_message_set_mime_part(message, GMIME_OBJECT(multipart));
        g_object_unref(multipart);
    }

    GMimeStream *out = g_mime_stream_mem_new();
    g_mime_object_write_to_stream(object, nullptr, out);
    GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out));
    const QByteArray result(reinterpret_cast<const char *>(bytes->data), qsizetype(bytes->len));
    g_object_unref(out);
    g_object_unref(message);
    return result;
}
