// Feeds arbitrary bytes to the parser entry: detection, every format parser and the shared
// splitters must end with a result for any input, and a failure must carry an error text.

#include "parsing/DataParser.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A copy of exactly size bytes, so that a read past the end is caught by AddressSanitizer.
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QString errorText;
    QList<DataParser::ValueRec> values;
    const bool ok = DataParser::parse(bytes, errorText, values, QStringLiteral("fuzz in kWh.txt"));
    if (!ok && errorText.isEmpty())
        std::abort(); // a failure always comes with its reason
    return 0;
}
