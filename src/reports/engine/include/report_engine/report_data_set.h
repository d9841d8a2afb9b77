#pragma once
// What a report walks: a forward cursor over records whose fields are read as text.
// The program adapts its table cursors to this; MemoryDataSet serves tests and demos.

#include <QString>
#include <QStringList>

#include <vector>

namespace reports {

class ReportDataSet {
  public:
    virtual ~ReportDataSet() = default;

    // Makes the first record current (or the data set is at its end when it has none).
    virtual void first() = 0;
    virtual void next() = 0;
    virtual bool atEnd() const = 0;
    // The current record's field as text; throws ReportError for an unknown field.
    virtual QString fieldText(const QString& field) const = 0;
    // The number of records, as the data's source counts them; negative when unknown.
    virtual int recordCount() const = 0;
};

class MemoryDataSet : public ReportDataSet {
  public:
    explicit MemoryDataSet(QStringList fieldNames);

    // Values in the order of the field names; missing trailing values are empty.
    void addRecord(const QStringList& values);
    int size() const { return static_cast<int>(rows_.size()); }

    void first() override;
    void next() override;
    bool atEnd() const override;
    QString fieldText(const QString& field) const override;
    int recordCount() const override;

  private:
    QStringList fieldNames_;
    std::vector<QStringList> rows_;
    size_t current_ = 0;
};

}  // namespace reports
