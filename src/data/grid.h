#pragma once
// A data-aware grid: one row per visible record of the data set, a record indicator
// column, in-cell editing only while the set is editing or inserting, and a multi-row
// selection kept as bookmarks.
//
// Selection: a plain click empties the selection and selects the clicked row; a click
// with Ctrl toggles it; moving with the keyboard empties it (Shift with the arrow keys
// extends it instead); moving with the scroll bar or a navigator keeps it.
// Ctrl+Delete asks "Delete record?", or "Delete all selected records?" when two or more
// rows are selected (OK / Cancel through the confirm function), then deletes.

#include <QAbstractTableModel>
#include <QPointer>
#include <QStringList>
#include <QTableView>

#include <functional>

#include "datasource.h"

namespace data {

class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit GridModel(QObject* parent = nullptr);
    void setDataSource(DataSource* source);
    DataSource* dataSource() const;
    void setColumns(const QStringList& fieldNames);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Rebuilds after a change of the data set (called on its signals).
    void refresh();

private:
    QPointer<DataSource> source_;
    QStringList columns_;
    int rows_ = 0;
};

class DBGrid : public QTableView {
    Q_OBJECT
public:
    explicit DBGrid(QWidget* parent = nullptr);
    void setDataSource(DataSource* source);
    DataSource* dataSource() const;
    GridModel* gridModel() const;
    void setColumns(const QStringList& fieldNames);

    // The selected rows as bookmarks, in the order they were selected.
    const QList<Bookmark>& selectedRows() const;
    void clearSelectedRows();
    bool isRowSelected(Bookmark bookmark) const;

    // Asks the user to confirm a delete; answers true for OK. The program hands in its
    // Prompter; tests hand in a script.
    std::function<bool(const QString& question)> confirmDelete;
    // Where errors of a grid action (a refused delete, an engine error) go.
    std::function<void(const std::exception& error)> showError;

signals:
    // A key typed on the grid (a character the grid does not use itself).
    void keyTyped(QChar character);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    GridModel* model_;
    QList<Bookmark> selected_;
};

}  // namespace data
