#pragma once

#include "Smtp/MimePart.h"

// A text/plain part in UTF-8, quoted-printable unless another encoding is set.
class MimeText : public MimePart
{
public:
    explicit MimeText(const QString &text = QString())
    {
        setContentType(QStringLiteral("text/plain"));
        setCharset(QStringLiteral("utf-8"));
        setEncoding(QuotedPrintable);
        setText(text);
    }
    void setText(const QString &text) { setContent(text.toUtf8()); }
    QString text() const { return QString::fromUtf8(content()); }
};
