#include <data/datasource.h>

namespace data {

DataSource::DataSource(QObject* parent) : QObject(parent) {}

DataSource::~DataSource() {
    for (auto& c : connections_) disconnect(c);
}

void DataSource::setDataSet(DataSet* dataSet) {
    if (dataSet_ == dataSet) return;
    for (auto& c : connections_) disconnect(c);
    dataSet_ = dataSet;
    if (dataSet != nullptr) {
        connections_ = {
            connect(dataSet, &DataSet::dataChanged, this, &DataSource::dataChanged),
            connect(dataSet, &DataSet::stateChanged, this, &DataSource::stateChanged),
            connect(dataSet, &DataSet::fieldChanged, this, &DataSource::fieldChanged),
            connect(dataSet, &DataSet::updateRecord, this, &DataSource::updateRecord),
            connect(dataSet, &QObject::destroyed, this, &DataSource::dataSetChanged),
        };
    }
    emit dataSetChanged();
}

DataSet* DataSource::dataSet() const {
    return dataSet_;
}

void DataSource::setAutoEdit(bool on) {
    autoEdit_ = on;
}
bool DataSource::autoEdit() const {
    return autoEdit_;
}

bool DataSource::edit() {
    if (dataSet_ == nullptr || !dataSet_->active()) return false;
    if (dataSet_->editing()) return true;
    if (!autoEdit_ || !dataSet_->canModify()) return false;
    dataSet_->edit();
    return dataSet_->editing();
}

}  // namespace data
