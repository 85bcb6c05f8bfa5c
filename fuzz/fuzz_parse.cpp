// Feeds arbitrary bytes down the road every attachment takes: DataFileReader with a ".gz" name,
// so gzip input is unpacked (every member, bounded) and anything else reaches detection and the
// format parsers as it is. Every call must end with a result, and a failure must carry its reason.

#include "parsing/DataFileReader.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    DataFileInput input;
    input.name = QStringLiteral("fuzz.gz");
    // A copy of exactly size bytes, so that a read past the end is caught by AddressSanitizer.
    input.bytes = QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
    input.parserFileName = QStringLiteral("fuzz in kWh.txt"); // TREND and SingleMeterpoint read the name
    input.maxUnpackedBytes = 16 * 1024 * 1024;                // far below libFuzzer's memory limit
    const DataFileResult result = DataFileReader::read(input);
    if (!result.parsed && result.errorText.isEmpty())
        std::abort();
    return 0;
}
