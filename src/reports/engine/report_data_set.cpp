#include <report_engine/report_data_set.h>

#include <report_engine/report_error.h>

namespace reports {

MemoryDataSet::MemoryDataSet(QStringList fieldNames) : fieldNames_(std::move(fieldNames)) {}

void MemoryDataSet::addRecord(const QStringList& values) {
    if (values.size() > fieldNames_.size())
        throw ReportError(QStringLiteral("A record has %1 values for %2 fields.")
                              .arg(values.size())
                              .arg(fieldNames_.size()));
    rows_.push_back(values);
}

void MemoryDataSet::first() {
    current_ = 0;
}

void MemoryDataSet::next() {
    if (current_ < rows_.size()) ++current_;
}

bool MemoryDataSet::atEnd() const {
    return current_ >= rows_.size();
}

QString MemoryDataSet::fieldText(const QString& field) const {
    qsizetype column = 0;
    while (column < fieldNames_.size() &&
           fieldNames_[column].compare(field, Qt::CaseInsensitive) != 0)
        ++column;
    if (column == fieldNames_.size())
        throw ReportError(QStringLiteral("The data set has no field \"%1\".").arg(field));
    if (atEnd()) return {};
    const QStringList& row = rows_[current_];
    return column < row.size() ? row[column] : QString();
}

int MemoryDataSet::recordCount() const {
    return size();
}

}  // namespace reports
