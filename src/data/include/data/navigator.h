#pragma once
// A record navigator: First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, each
// enabled as the data set's state allows, with the hints "First record", "Prior record",
// "Next record", "Last record", "Insert record", "Delete record", "Edit record",
// "Post edit" and "Cancel edit". Delete asks "Delete record?" first.
//
// First and Prior are off on the first record, Next and Last on the last; Insert, Edit
// and Delete are off while a record is being edited (Edit and Delete also for an empty
// set, all three for a read-only one); Post and Cancel are on only while editing.

#include <QPointer>
#include <QToolButton>
#include <QWidget>

#include <array>
#include <exception>
#include <functional>

#include <data/datasource.h>

namespace data {

class DBNavigator : public QWidget {
    Q_OBJECT
  public:
    enum Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, ButtonCount };

    explicit DBNavigator(QWidget* parent = nullptr);
    void setDataSource(DataSource* source);
    DataSource* dataSource() const;
    QToolButton* button(Button which) const;
    void click(Button which);  // what pressing the button does

    // Unset: a plain question box, a plain error box.
    std::function<bool(const QString& question)> confirmDelete;
    std::function<void(const std::exception& error)> showError;

  signals:
    void clicked(data::DBNavigator::Button which);  // after the action

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void updateButtons();
    void updateIcons();
    void report(const std::exception& error);

    QPointer<DataSource> source_;
    std::array<QToolButton*, ButtonCount> buttons_{};
    std::array<QMetaObject::Connection, 3> connections_;
};

}  // namespace data
