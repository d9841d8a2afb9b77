#pragma once
// A report in the address book's shape over made-up entries: a page header with the
// title, date, record count and page number; a detail band with a bold name and a
// memo that grows; a boxed closing line. Used by the demo program, tests and benchmark.

#include <report_engine/report_data_set.h>
#include <report_engine/report_definition.h>

#include <memory>

namespace reports::sample {

struct AddressReportOptions {
    bool includeMemo = true;
    bool textFormat = false;
    bool showRecordCount = true;
};

// Entries with the fields NAME and INFO; memos of one to many lines, some long enough
// to fill more than a page. The same seed gives the same entries.
std::unique_ptr<MemoryDataSet> makeEntries(int count, unsigned seed = 1);

std::unique_ptr<Report> makeAddressReport(ReportDataSet& entries, const QString& title,
                                          const AddressReportOptions& options = {});

}  // namespace reports::sample
