#pragma once
// The address book's report: each entry's name in bold with its memo beneath, under a
// page header with the title, date, record count and page number, closed by a boxed
// line naming the product. AddressReport holds the layout for one report; it is never shown
// itself, only previewed, printed or saved through the report engine.

#include <QString>

#include <functional>

#include <report_engine/report_definition.h>

namespace data {
class DataSet;
}

namespace reports {

// The product's web address, in the report's title and in its closing line.
inline constexpr char kProductWebAddress[] = "https://www.marigold-cardhold.example";

// "Marigold Cardhold" and the web address: the preview's caption and the print job.
QString reportTitle();
// The boxed closing line.
QString producedByCaption();

class AddressReport {
  public:
    // Builds the design layout: the header shows `mainWindowTitle`, and each entry its
    // name, with its memo beneath when `includeMemo`.
    AddressReport(QString mainWindowTitle, bool includeMemo);
    AddressReport(const AddressReport&) = delete;
    AddressReport& operator=(const AddressReport&) = delete;

    // The report and its items; each keeps its form's name as its object name
    // (docs/windows.md).
    Report report;
    ReportBand* pageHeader = nullptr;
    ReportLabel* windowTitleText = nullptr;
    ReportLabel* dateCaption = nullptr;         // "Date Run:"
    ReportSystemText* dateText = nullptr;       // the day the report is run
    ReportLabel* recordCountCaption = nullptr;  // "Records:"
    ReportSystemText* recordCountText = nullptr;
    ReportLabel* pageNumberCaption = nullptr;  // "Page:"
    ReportSystemText* pageNumberText = nullptr;
    ReportBand* entryBand = nullptr;
    ReportDataText* nameText = nullptr;  // NAME
    ReportDataText* memoText = nullptr;  // INFO
    ReportBand* closingBand = nullptr;
    ReportLabel* producedByText = nullptr;

    // The report and its two data items read `entries` (not owned).
    void bind(ReportDataSet& entries);
    // Text format: no left margin, no page header or summary, the memo indented and
    // narrower. Otherwise the standard margins; the record count is left out while the
    // main table runs the name-and-memo search (filtered without an expression), whose
    // count the engine cannot give.
    void applyTextFormat(bool textFormat, const data::DataSet& mainTable);

  private:
    void createLayout();
    void leaveMemoOut();
};

// Lays the report out for one look: AddressReport's layout over `entries`, with the
// options of the record selection, handed to `preview`, which returns when the user is done.
struct ReportRequest {
    ReportDataSet& entries;
    bool includeMemo = true;
    bool textFormat = false;
    const data::DataSet& mainTable;
    QString mainWindowTitle;
    QString dateFormat = QStringLiteral("MM/dd/yy");
    QString bookName = QString();  // the data folder's name: what the report's files are called
};
void produceReport(const ReportRequest& request, const std::function<void(const Report&)>& preview);

}  // namespace reports
