#pragma once
// A data-aware grid: one row per visible record of the data set, a record indicator
// column, in-cell editing only while the set is editing or inserting, and a multi-row
// selection kept as bookmarks.
//
// Selection: a plain click empties the selection and selects the clicked row; a click
// with Ctrl toggles it (with Shift it selects the rows from the last clicked one); moving
// with the keyboard empties it (Shift with the up and down arrows extends it instead);
// moving with the scroll bar or a navigator keeps it. Rows that leave the view (deleted,
// filtered out) leave the selection; reopening or packing the table empties it.
// Ctrl+Delete asks "Delete record?", or "Delete all selected records?" when two or more
// rows are selected (OK / Cancel through the confirm function), then deletes the current
// record, or every selected one.

#include <QAbstractTableModel>
#include <QPointer>
#include <QStringList>
#include <QTableView>

#include <array>
#include <exception>
#include <functional>
#include <string>

#include <data/datasource.h>

class QLineEdit;

namespace data {

class GridModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    // What the record indicator shows for a row: headerData(row, Qt::Vertical, IndicatorRole).
    enum class Indicator { None, Current, Editing, Inserting };
    static constexpr int IndicatorRole = Qt::UserRole + 1;
    // The width of a column's field in bytes: data(index, FieldWidthRole).
    static constexpr int FieldWidthRole = Qt::UserRole + 2;

    explicit GridModel(QObject* parent = nullptr);
    void setDataSource(DataSource* source);
    DataSource* dataSource() const;
    void setColumns(const QStringList& fieldNames);
    const QStringList& columns() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Rebuilds after a change of the data set (called on its signals).
    void refresh();

    // Where a refused cell write (text the code page cannot hold, an engine error) goes.
    std::function<void(const std::exception& error)> showError;

  signals:
    void refreshed();  // after every refresh(), once the rows are up to date

  private:
    DataSet* dataSet() const;
    bool inRange(const QModelIndex& index) const;
    bool isMemoColumn(int column) const;
    void fieldChanged(const QString& fieldName);

    QPointer<DataSource> source_;
    QStringList columns_;
    int rows_ = 0;
    int indicatorRow_ = -1;  // where the current-row marker was last shown
    std::string refreshFailure_;
    std::array<QMetaObject::Connection, 4> connections_;
};

class DBGrid : public QTableView {
    Q_OBJECT
  public:
    explicit DBGrid(QWidget* parent = nullptr);
    ~DBGrid() override;
    void setDataSource(DataSource* source);
    DataSource* dataSource() const;
    GridModel* gridModel() const;
    void setColumns(const QStringList& fieldNames);

    // The selected rows as bookmarks, sorted by bookmark comparison.
    const QList<Bookmark>& selectedRows() const;
    void clearSelectedRows();
    bool isRowSelected(Bookmark bookmark) const;
    void setRowSelected(Bookmark bookmark, bool selected);
    // Whether the in-cell editor is open (its text is written at the next save or move).
    bool cellEditorOpen() const;

    // Asks the user to confirm a delete; answers true for OK. The program hands in its
    // Prompter; tests hand in a script. Unset: a plain question box.
    std::function<bool(const QString& question)> confirmDelete;
    // Where errors of a grid action (a refused delete, an engine error) go. Unset: a
    // plain error box.
    std::function<void(const std::exception& error)> showError;

    // The grid's own keys: moving the data set, never searching the rows.
    void keyboardSearch(const QString& search) override;
    void selectAll() override;

  signals:
    // A key typed on the grid (a character the grid does not use itself).
    void keyTyped(QChar character);
    // A left double click anywhere in the grid: on a row (after doubleClicked), below the
    // last one, on the record indicator, in the cell editor.
    void areaDoubleClicked();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;

  private:
    friend class GridDelegate;
    DataSet* dataSet() const;
    bool run(const std::function<void()>& action);
    void report(const std::exception& error);
    void followDataSet();
    void stateChanged();
    void flushEditor(bool& accepted);
    void applySelection();
    void pruneSelection();
    void moveToRow(int row);
    void keyboardMove(int distance, bool extend);
    void deleteWithConfirmation();
    int pageRows() const;

    GridModel* model_;
    QPointer<DataSource> source_;
    QList<Bookmark> selected_;
    Bookmark anchor_;         // where a Shift selection started
    bool extending_ = false;  // a Shift selection is under way
    quint64 epoch_ = 0;       // the data set's bookmark epoch the selection belongs to
    int followedRow_ = -1;
    bool syncing_ = false;
    bool commitFailed_ = false;
    QPointer<QLineEdit> editor_;
    std::array<QMetaObject::Connection, 3> connections_;
};

}  // namespace data
