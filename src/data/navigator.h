#pragma once
// A record navigator: First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, each
// enabled as the data set's state allows, with the hints "First record", "Prior record",
// "Next record", "Last record", "Insert record", "Delete record", "Edit record",
// "Post edit" and "Cancel edit". Delete asks "Delete record?" first.

#include <QPointer>
#include <QToolButton>
#include <QWidget>

#include <array>
#include <functional>

#include "datasource.h"

namespace data {

class DBNavigator : public QWidget {
    Q_OBJECT
public:
    enum Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, ButtonCount };

    explicit DBNavigator(QWidget* parent = nullptr);
    void setDataSource(DataSource* source);
    QToolButton* button(Button which) const;
    void click(Button which);  // what pressing the button does

    std::function<bool(const QString& question)> confirmDelete;
    std::function<void(const std::exception& error)> showError;

signals:
    void clicked(data::DBNavigator::Button which);  // after the action

private:
    void updateButtons();

    QPointer<DataSource> source_;
    std::array<QToolButton*, ButtonCount> buttons_{};
};

}  // namespace data
