#pragma once
// A table data set as a report walks it: the records the set shows, in its present
// order and through its filter (expression and callback alike), read without moving
// the set. The grid bound to the set stays where it is while the report is laid out,
// and a user who browses meanwhile does not disturb the report.

#include <QString>

#include <vector>

#include <data/dataset.h>

#include <report_engine/report_data_set.h>

namespace reports {

class TableReportData : public ReportDataSet {
  public:
    // The set is not owned and must outlive every layout made from this.
    explicit TableReportData(data::DataSet& table);

    data::DataSet& table() const { return table_; }

    // Takes the list of records the set shows now. Throws ReportError when the set is
    // not open.
    void first() override;
    void next() override;
    bool atEnd() const override;
    // Throws ReportError for a field the table lacks, and when the table was closed,
    // reopened or packed since first() (the listed records may be others by then).
    QString fieldText(const QString& field) const override;
    // The engine's count: non-deleted records passing the filter expression (the
    // filter callback is not asked).
    int recordCount() const override;

    // Records in the list taken by the last first().
    int listedCount() const { return static_cast<int>(records_.size()); }

  private:
    void requireSameTable() const;

    data::DataSet& table_;
    std::vector<data::Bookmark> records_;
    size_t current_ = 0;
    quint64 epoch_ = 0;
};

}  // namespace reports
