// The report-file loader on any bytes: a report or the loader's own error, and a report it
// reads must come back the same after being written and read again.

#include <cstdint>
#include <cstdlib>

#include <QByteArray>

#include <report_engine/report_error.h>
#include <report_engine/report_file.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const reports::ReportDocument document = reports::decodeReport(bytes, "fuzz.chrep");
        if (!(reports::decodeReport(reports::encodeReport(document), "again.chrep") == document))
            std::abort();
    } catch (const reports::ReportError&) {
    }
    return 0;
}
