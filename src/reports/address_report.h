#pragma once
// The address book's report: each entry's name in bold with its memo beneath, under a
// page header with the title, date, record count and page number, closed by a boxed
// line naming the product. TQR holds the layout for one report; it is never shown
// itself, only previewed, printed or saved through the report engine.

#include <QString>

#include <functional>

#include "report_definition.h"

namespace data {
class DataSet;
}

namespace reports {

// The product's web address, in the report's title and in its closing line.
inline constexpr char kProductWebAddress[] = "https://www.marigold-cardhold.example";
// The include-memo marker that leaves the memo out; 0 shows it.
inline constexpr int kLeaveMemoOut = 86;

// "Marigold Cardhold" and the web address: the preview's caption and the print job.
QString reportTitle();
// The boxed closing line.
QString producedByCaption();

class TQR {
  public:
    // Builds the design layout and runs FormCreate: the header shows `mainWindowTitle`,
    // and an include-memo marker of 86 leaves the memo out.
    TQR(QString mainWindowTitle, int includeMemoMarker);
    TQR(const TQR&) = delete;
    TQR& operator=(const TQR&) = delete;

    Report QR;
    ReportBand* PageHeaderBand1 = nullptr;
    ReportLabel* HeaderLabel1 = nullptr;
    ReportLabel* DateLabel = nullptr;
    ReportSystemText* QRSysData1 = nullptr;  // today's date
    ReportLabel* QRLabel1 = nullptr;         // "Records:"
    ReportSystemText* QRSysData3 = nullptr;  // the record count
    ReportLabel* PageLabel1 = nullptr;
    ReportSystemText* QRSysData2 = nullptr;  // the page number
    ReportBand* DetailBand1 = nullptr;
    ReportDataText* QRDBText1 = nullptr;  // NAME
    ReportDataText* QRDBText2 = nullptr;  // INFO
    ReportBand* SummaryBand1 = nullptr;
    ReportLabel* QRLabel2 = nullptr;

    void FormCreate();
    // The report and its two data items read `entries` (not owned).
    void bind(ReportDataSet& entries);
    // Text format: no left margin, no page header or summary, the memo indented and
    // narrower. Otherwise the standard margins; the record count is left out while the
    // main table runs the name-and-memo search (filtered without an expression), whose
    // count the engine cannot give.
    void applyTextFormat(bool textFormat, const data::DataSet& mainTable);

  private:
    void createLayout();

    QString mainWindowTitle_;
    int includeMemoMarker_;
};

// Lays the report out for one look: TQR's layout over `entries`, with the options of
// the record selection, handed to `preview`, which returns when the user is done.
struct ReportRequest {
    ReportDataSet& entries;
    int includeMemoMarker = 0;
    bool textFormat = false;
    const data::DataSet& mainTable;
    QString mainWindowTitle;
    QString dateFormat = QStringLiteral("MM/dd/yy");
    QString bookName = QString();  // the data folder's name: what the report's files are called
};
void produceReport(const ReportRequest& request, const std::function<void(const Report&)>& preview);

}  // namespace reports
