#include <reports/table_report_data.h>

#include <xbase/types.h>

#include <report_engine/report_error.h>

namespace reports {

TableReportData::TableReportData(data::DataSet& table) : table_(table) {}

void TableReportData::first() {
    if (!table_.active())
        throw ReportError(QStringLiteral("The table %1 is not open.").arg(table_.tableName()));
    records_.clear();
    const int rows = table_.visibleCount();
    records_.reserve(static_cast<size_t>(rows));
    for (int row = 0; row < rows; ++row) {
        // A new entry that is still being typed has no record yet and is not reported.
        const data::Bookmark record = table_.visibleAt(row);
        if (record.valid()) records_.push_back(record);
    }
    current_ = 0;
    epoch_ = table_.bookmarkEpoch();
}

void TableReportData::next() {
    if (current_ < records_.size()) ++current_;
}

bool TableReportData::atEnd() const {
    return current_ >= records_.size();
}

void TableReportData::requireSameTable() const {
    if (!table_.active() || table_.bookmarkEpoch() != epoch_)
        throw ReportError(
            QStringLiteral("The table %1 was closed or packed while the report was being made. "
                           "Make the report again.")
                .arg(table_.tableName()));
}

QString TableReportData::fieldText(const QString& field) const {
    requireSameTable();
    xbase::Cursor& cursor = table_.cursor();
    const int column = cursor.fieldIndex(field.toStdString());
    if (column < 0)
        throw ReportError(
            QStringLiteral("The table %1 has no field \"%2\".").arg(table_.tableName(), field));
    if (atEnd()) return {};
    const std::string bytes = cursor.textAt(records_[current_], column);
    if (cursor.field(column).type == 'D')
        return QString::fromStdString(xbase::Date::fromStorage(bytes).toDisplay());
    return table_.toUnicode(bytes);
}

int TableReportData::recordCount() const {
    return table_.recordCount();
}

}  // namespace reports
