#include "parsing/FormatDetection.h"

#include "parsing/FormatTable.h"

QString FormatDetection::head(const QByteArray &data)
{
    QString head = QString::fromUtf8(data.left(50)).simplified();
    head.remove(u' ');
    return head;
}

DataParser::ImportType FormatDetection::detect(const QString &head)
{
    for (const FormatTable::Format &format : FormatTable::formats()) {
        if (format.signature.matches(head))
            return format.type;
    }
    return DataParser::IMPTYPE_NA;
}
