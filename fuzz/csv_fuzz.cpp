// The CSV reader on any bytes, then each row as the import makes it an entry. A record read
// must come back the same after being written and read again.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "contacts_card.h"
#include "contacts_csv.h"
#include "contacts_text.h"
#include "csv_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text =
        store::decodeUtf8OrWindows(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const auto& row : store::contactsFromCsv(text).rows) store::draftEntry(row.contact);
    const QChar separator = store::csv::guessSeparator(text);
    for (const store::csv::Record& record : store::csv::read(text, separator)) {
        if (record.unterminated || record.fields.join(QString()).isEmpty()) continue;
        QString written;
        store::csv::appendRecord(written, record.fields);
        const auto again = store::csv::read(written, QChar(','));
        if (again.size() != 1 || again.front().fields != record.fields) std::abort();
    }
    return 0;
}
