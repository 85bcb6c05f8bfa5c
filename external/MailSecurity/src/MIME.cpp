// GLib headers use the identifier "signals", which Qt defines as a keyword: GMime comes first.
#include <gmime/gmime.h>

#include "MailSecurity/MIME.h"

#include <mutex>
#include <vector>

namespace {

void ensureGMime()
{
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

QString fromUtf8(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

QString takeUtf8(char *text)
{
    const QString result = fromUtf8(text);
    g_free(text);
    return result;
}

QString formatParameters(GMimeParamList *list)
{
    if (!list)
        return QString();
    QStringList entries;
    const int count = g_mime_param_list_length(list);
    for (int i = 0; i < count; ++i) {
        GMimeParam *param = g_mime_param_list_get_parameter_at(list, i);
        entries << QStringLiteral("%1=\"%2\"").arg(fromUtf8(g_mime_param_get_name(param)),
                                                  fromUtf8(g_mime_param_get_value(param)));
    }
    return entries.join(QStringLiteral("; "));
}

GMimeFormatOptions *crlfOptions()
{
    static GMimeFormatOptions *options = [] {
        GMimeFormatOptions *o = g_mime_format_options_new();
        g_mime_format_options_set_newline_format(o, GMIME_NEWLINE_FORMAT_DOS);
        return o;
    }();
    return options;
}

QByteArray streamBytes(GMimeStream *stream)
{
    GByteArray *array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream));
    return QByteArray(reinterpret_cast<const char *>(array->data), qsizetype(array->len));
}

} // namespace

struct MIME::Decoded
{
    GMimeObject *root = nullptr;
    std::vector<GMimeObject *> parts;  // borrowed from root

    ~Decoded()
    {
        if (root)
            g_object_unref(root);
    }
    GMimeObject *part(int index) const
    {
        return index >= 0 && size_t(index) < parts.size() ? parts[size_t(index)] : nullptr;
    }
};

MIME::MIME(QObject *parent) : QObject(parent)
{
    ensureGMime();
}

MIME::~MIME() = default;

int MIME::decodeFromString()
{
    m_decoded.reset();
    m_lastError.clear();
    QByteArray entity;
    if (m_headers.isEmpty()) {
        entity = m_message;
    } else {
        entity = m_headers;
        while (entity.endsWith('\n') || entity.endsWith('\r'))
            entity.chop(1);
        entity += "\r\n\r\n" + m_message;
    }
    if (entity.trimmed().isEmpty()) {
        m_lastError = QStringLiteral("No message data to decode");
        return 1;
    }
    GMimeStream *stream = g_mime_stream_mem_new_with_buffer(entity.constData(), size_t(entity.size()));
    GMimeParser *parser = g_mime_parser_new_with_stream(stream);
    GMimeObject *root = g_mime_parser_construct_part(parser, nullptr);
    g_object_unref(parser);
    g_object_unref(stream);
    if (!root) {
        m_lastError = QStringLiteral("The message is not a MIME entity");
        return 2;
    }
    GMimeContentType *type = g_mime_object_get_content_type(root);
    if (g_mime_content_type_is_type(type, "multipart", "*") && !g_mime_content_type_get_parameter(type, "boundary")) {
        m_lastError = QStringLiteral("Multipart entity without a boundary");
        g_object_unref(root);
        return 3;
    }
    auto decoded = std::make_unique<Decoded>();
    decoded->root = root;
    if (GMIME_IS_MULTIPART(root)) {
        GMimeMultipart *multipart = GMIME_MULTIPART(root);
        const int count = g_mime_multipart_get_count(multipart);
        for (int i = 0; i < count; ++i)
            decoded->parts.push_back(g_mime_multipart_get_part(multipart, i));
    } else {
        decoded->parts.push_back(root);
    }
    m_decoded = std::move(decoded);
    return 0;
}

QString MIME::contentType() const
{
    if (!m_decoded)
        return QString();
    return takeUtf8(g_mime_content_type_get_mime_type(g_mime_object_get_content_type(m_decoded->root)));
}

QString MIME::contentTypeAttr() const
{
    if (!m_decoded)
        return QString();
    return formatParameters(g_mime_content_type_get_parameters(g_mime_object_get_content_type(m_decoded->root)));
}

QString MIME::contentTypeParameter(const QString &name) const
{
    if (!m_decoded)
        return QString();
    return fromUtf8(g_mime_content_type_get_parameter(g_mime_object_get_content_type(m_decoded->root),
                                                      name.toUtf8().constData()));
}

QList<MIME::Header> MIME::messageHeaders() const
{
    QList<Header> headers;
    if (!m_decoded)
        return headers;
    GMimeHeaderList *list = g_mime_object_get_header_list(m_decoded->root);
    const int count = g_mime_header_list_get_count(list);
    for (int i = 0; i < count; ++i) {
        GMimeHeader *header = g_mime_header_list_get_header_at(list, i);
        headers.append({fromUtf8(g_mime_header_get_name(header)), fromUtf8(g_mime_header_get_value(header)).trimmed()});
    }
    return headers;
}

int MIME::partCount() const
{
    return m_decoded ? int(m_decoded->parts.size()) : 0;
}

QString MIME::partContentId(int index) const
{
    GMimeObject *part = m_decoded ? m_decoded->part(index) : nullptr;
    return part ? fromUtf8(g_mime_object_get_content_id(part)) : QString();
}

QString MIME::partContentType(int index) const
{
    GMimeObject *part = m_decoded ? m_decoded->part(index) : nullptr;
    return part ? takeUtf8(g_mime_content_type_get_mime_type(g_mime_object_get_content_type(part))) : QString();
}

QString MIME::partContentTypeAttr(int index) const
{
    GMimeObject *part = m_decoded ? m_decoded->part(index) : nullptr;
    return part ? formatParameters(g_mime_content_type_get_parameters(g_mime_object_get_content_type(part))) : QString();
}

QString MIME::partContentDisposition(int index) const
{
    GMimeObject *part = m_decoded ? m_decoded->part(index) : nullptr;
    GMimeContentDisposition *disposition = part ? g_mime_object_get_content_disposition(part) : nullptr;
    return disposition ? fromUtf8(g_mime_content_disposition_get_disposition(disposition)) : QString();
}

QString MIME::partContentDispositionAttr(int index) const
{
    GMimeObject *part = m_decoded ? m_decoded->part(index) : nullptr;
    GMimeContentDisposition *disposition = part ? g_mime_object_get_content_disposition(part) : nullptr;
    return disposition ? formatParameters(g_mime_content_disposition_get_parameters(disposition)) : QString();
}

QString MIME::partEncoding(int index) const
{
    GMimeObject *part = m_decoded ? m_decoded->part(index) : nullptr;
    if (!part)
        return QString();
    if (GMIME_IS_PART(part)) {
        const GMimeContentEncoding encoding = g_mime_part_get_content_encoding(GMIME_PART(part));
        if (encoding != GMIME_CONTENT_ENCODING_DEFAULT)
            return fromUtf8(g_mime_content_encoding_to_string(encoding));
    }
    return fromUtf8(g_mime_object_get_header(part, "Content-Transfer-Encoding")).trimmed();
}

QByteArray MIME::partHeaders(int index) const
{
    GMimeObject *part = m_decoded ? m_decoded->part(index) : nullptr;
    if (!part)
        return QByteArray();
    char *headers = g_mime_object_get_headers(part, crlfOptions());
    const QByteArray result(headers);
    g_free(headers);
    return result;
}

QString MIME::partName(int index) const
{
    GMimeObject *part = m_decoded ? m_decoded->part(index) : nullptr;
    return part ? fromUtf8(g_mime_content_type_get_parameter(g_mime_object_get_content_type(part), "name")) : QString();
}

QString MIME::partFilename(int index) const
{
    GMimeObject *part = m_decoded ? m_decoded->part(index) : nullptr;
    GMimeContentDisposition *disposition = part ? g_mime_object_get_content_disposition(part) : nullptr;
    return disposition ? fromUtf8(g_mime_content_disposition_get_parameter(disposition, "filename")) : QString();
}

qint64 MIME::partSize(int index) const
{
    return partDecodedContent(index).size();
}

QByteArray MIME::partDecodedContent(int index) const
{
    GMimeObject *part = m_decoded ? m_decoded->part(index) : nullptr;
    if (!part)
        return QByteArray();
    GMimeStream *stream = g_mime_stream_mem_new();
    if (GMIME_IS_PART(part)) {
        if (GMimeDataWrapper *content = g_mime_part_get_content(GMIME_PART(part)))
            g_mime_data_wrapper_write_to_stream(content, stream);
    } else if (GMIME_IS_MESSAGE_PART(part)) {
        if (GMimeMessage *message = g_mime_message_part_get_message(GMIME_MESSAGE_PART(part)))
            g_mime_object_write_to_stream(GMIME_OBJECT(message), crlfOptions(), stream);
    } else {
        g_mime_object_write_content_to_stream(part, crlfOptions(), stream);
    }
    const QByteArray result = streamBytes(stream);
    g_object_unref(stream);
    return result;
}

QString MIME::decodeHeaderText(const QByteArray &text)
{
    ensureGMime();
    return takeUtf8(g_mime_utils_header_decode_text(nullptr, text.constData())).trimmed();
}

QList<MIME::Header> MIME::parseHeaderBlock(const QByteArray &block)
{
    MIME mime;
    mime.setMessage(block.trimmed() + "\r\n\r\n");
    if (mime.decodeFromString() != 0)
        return {};
    return mime.messageHeaders();
}

QList<MIME::Address> MIME::parseAddressList(const QString &text)
{
    ensureGMime();
    QList<Address> addresses;
    InternetAddressList *list = internet_address_list_parse(nullptr, text.toUtf8().constData());
    if (!list)
        return addresses;
    const int count = internet_address_list_length(list);
    for (int i = 0; i < count; ++i) {
        InternetAddress *address = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_MAILBOX(address)) {
            addresses.append({fromUtf8(internet_address_get_name(address)),
                              fromUtf8(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address)))});
        } else if (INTERNET_ADDRESS_IS_GROUP(address)) {
            InternetAddressList *members = internet_address_group_get_members(INTERNET_ADDRESS_GROUP(address));
            const int memberCount = members ? internet_address_list_length(members) : 0;
            for (int k = 0; k < memberCount; ++k) {
                InternetAddress *member = internet_address_list_get_address(members, k);
                if (INTERNET_ADDRESS_IS_MAILBOX(member))
                    addresses.append({fromUtf8(internet_address_get_name(member)),
                                      fromUtf8(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(member)))});
            }
        }
    }
    g_object_unref(list);
    return addresses;
}
