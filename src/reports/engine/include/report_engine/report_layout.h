#pragma once
// Lays a report out into pages: the page header at the top of every page, the detail
// band once per record, the summary after the last record, the page footer at the
// bottom. Stretching items grow their band; a band too tall for the rest of the page
// is split between two lines of a stretching item and continues on the next page.

#include <report_engine/report_document.h>

#include <functional>
#include <memory>

namespace reports {

class Report;

// Called as records are laid out; recordCount is negative when the data set cannot tell.
using LayoutProgress = std::function<void(int recordsDone, int recordCount)>;

// Lays a report out a slice at a time, so a window can stay responsive and show
// progress. The report and its data set must outlive the layouter and stay unchanged.
class ReportLayouter {
  public:
    // Walks the data set from its first record. Throws ReportError without a data set.
    explicit ReportLayouter(const Report& report);
    ~ReportLayouter();
    ReportLayouter(const ReportLayouter&) = delete;
    ReportLayouter& operator=(const ReportLayouter&) = delete;

    // Lays out up to maxRecords more records; true once the whole report is laid out.
    // Errors of the data set pass through as they are.
    bool layoutSome(int maxRecords);
    bool isFinished() const;

    int recordsDone() const;
    int recordCount() const;
    // The pages so far; the last one may still be filling until isFinished().
    const ReportDocument& document() const;
    ReportDocument takeDocument();

  private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

ReportDocument layoutReport(const Report& report, const LayoutProgress& progress = {});

}  // namespace reports
