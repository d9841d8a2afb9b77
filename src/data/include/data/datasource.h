#pragma once
// Binds data-aware controls to a data set. Controls listen to the source, not to the
// set, so a grid can be detached (setDataSet(nullptr)) while a search runs and
// attached again afterwards.

#include <QObject>
#include <QPointer>

#include <array>

#include <data/dataset.h>

namespace data {

class DataSource : public QObject {
    Q_OBJECT
  public:
    explicit DataSource(QObject* parent = nullptr);
    ~DataSource() override;
    void setDataSet(DataSet* dataSet);
    DataSet* dataSet() const;
    // Off: controls do not put the set into edit state by themselves (the user presses
    // Edit or Insert first). The address book runs with it off.
    void setAutoEdit(bool on);
    bool autoEdit() const;
    // What a control calls before it changes a field: true when the set is editing or
    // inserting, or has just been put into edit state because autoEdit is on.
    bool edit();

  signals:
    void dataChanged();
    void stateChanged(data::DataSetState state);
    void fieldChanged(const QString& fieldName);
    void updateRecord(bool& accepted);
    void dataSetChanged();  // attached to another set, or detached (also when it is destroyed)

  private:
    QPointer<DataSet> dataSet_;
    bool autoEdit_ = true;
    std::array<QMetaObject::Connection, 5> connections_;
};

}  // namespace data
