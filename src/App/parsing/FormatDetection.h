#pragma once

#include "parsing/DataParser.h"

// Recognises a data file's format from its first bytes.
class FormatDetection
{
public:
    // The first 50 bytes decoded as UTF-8 (invalid bytes become U+FFFD) without any whitespace,
    // so that leading blank lines and indentation do not matter. The decoding drops a leading
    // byte-order mark, so no signature needs a form with U+FEFF in front.
    static QString head(const QByteArray &data);

    // The format whose signature the head carries, tested in the order of the format table;
    // the first match wins. XML files give IMPTYPE_LERTESBOX (the ebIX VSE parser is tried when that one
    // declines); a head without any signature gives IMPTYPE_NA: the line formats of the fallback
    // chain then decide.
    static DataParser::ImportType detect(const QString &head);
};
