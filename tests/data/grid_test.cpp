// The data-aware grid: rows and indicator, following the data set, the bookmark
// selection, Ctrl+Delete, in-cell editing and the abandoned new row.
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <data/grid.h>
#include <xbase/error.h>

#include "data_fixture.h"

namespace {

using data::DataSetState;
using data::GridModel;
using Indicator = data::GridModel::Indicator;

class GridTest : public datatest::DataSetTest {
  protected:
    void show(const std::vector<std::string>& names) {
        openTable(names);
        source.setDataSet(&table);
        source.setAutoEdit(false);
        layout->addWidget(grid);
        layout->addWidget(other);
        grid->setColumns({QStringLiteral("NAME")});
        grid->setDataSource(&source);
        grid->confirmDelete = [this](const QString& question) {
            questions << question;
            return answer;
        };
        grid->showError = [this](const std::exception& error) {
            errors << QString::fromUtf8(error.what());
        };
        table.afterDelete = [this](data::DataSet&) { ++deletes; };
        window.resize(300, 200);
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        grid->setFocus();
    }

    QPoint cell(int row) { return grid->visualRect(grid->model()->index(row, 0)).center(); }
    void click(int row, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, modifiers, cell(row));
    }
    void key(int key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(grid, Qt::Key(key), modifiers);
    }

    QStringList selectedNames() {
        QStringList out;
        const data::Bookmark here = table.bookmark();
        for (data::Bookmark b : grid->selectedRows())
            out << table.fieldTextAt(table.rowOf(b), "NAME");
        EXPECT_EQ(table.bookmark(), here);
        return out;
    }

    Indicator indicator(int row) {
        return static_cast<Indicator>(
            grid->model()->headerData(row, Qt::Vertical, GridModel::IndicatorRole).toInt());
    }

    int gridRow() { return grid->currentIndex().row(); }

    QLineEdit* cellEditor() {
        for (QLineEdit* editor : grid->findChildren<QLineEdit*>())
            if (editor->isVisible()) return editor;
        return nullptr;
    }
    // Types as a user does: the first key opens the cell editor, the rest go into it.
    void typeInCell(const QString& text) {
        QTest::keyClick(grid, text[0].toLatin1());
        ASSERT_NE(cellEditor(), nullptr);
        QTest::keyClicks(cellEditor(), text.mid(1));
    }
    void pressReturnInCell() {
        QTest::keyClick(cellEditor(), Qt::Key_Return);
        QCoreApplication::processEvents();  // the editor hands its text over afterwards
    }

    // Before the window: its teardown may still report to them.
    QStringList questions;
    QStringList errors;
    bool answer = true;
    int deletes = 0;
    data::DataSource source;
    QWidget window;
    QVBoxLayout* layout = new QVBoxLayout(&window);
    data::DBGrid* grid = new data::DBGrid(&window);
    QLineEdit* other = new QLineEdit(&window);
};

TEST_F(GridTest, ModelStaysConsistentThroughEveryKindOfChange) {
    show({"Adams", "Baker", "Cole"});
    QAbstractItemModelTester tester(grid->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    table.insert();
    table.fieldByName("NAME").setAsString("Dean");
    table.post();
    table.edit();
    table.cancel();
    table.deleteRecord();
    table.setFilter("\"A\" $ upper(Name)");
    table.setFiltered(true);
    table.setIndexName(QString());
    table.setFiltered(false);
    table.close();
    EXPECT_EQ(grid->model()->rowCount(), 0);
    table.open();
    source.setDataSet(nullptr);
    EXPECT_EQ(grid->model()->rowCount(), 0);
    source.setDataSet(&table);
    EXPECT_EQ(grid->model()->rowCount(), 3);
}

TEST_F(GridTest, RowsShowTheNamesWithTheIndicatorOnTheCurrentOne) {
    show({"Cole", "Adams", "Baker"});
    QAbstractItemModel* model = grid->model();
    ASSERT_EQ(model->rowCount(), 3);
    EXPECT_EQ(model->columnCount(), 1);
    EXPECT_EQ(model->index(1, 0).data().toString(), "Baker");
    EXPECT_TRUE(grid->horizontalHeader()->isHidden());
    EXPECT_FALSE(model->headerData(0, Qt::Vertical, Qt::DisplayRole).isValid());  // no numbers
    EXPECT_TRUE(grid->showGrid());

    EXPECT_EQ(indicator(0), Indicator::Current);
    EXPECT_EQ(indicator(1), Indicator::None);
    table.next();
    EXPECT_EQ(indicator(0), Indicator::None);
    EXPECT_EQ(indicator(1), Indicator::Current);
    table.edit();
    EXPECT_EQ(indicator(1), Indicator::Editing);
    table.cancel();
    table.insert();
    EXPECT_EQ(model->rowCount(), 4);
    EXPECT_EQ(indicator(1), Indicator::Inserting);
    EXPECT_EQ(model->index(1, 0).data().toString(), "");
    EXPECT_EQ(model->index(2, 0).data().toString(), "Baker");
}

TEST_F(GridTest, TheCurrentRowAndTheDataSetFollowEachOther) {
    show({"A1", "A2", "A3", "A4", "A5", "A6", "A7", "A8", "A9", "B1", "B2", "B3", "B4"});
    table.last();
    EXPECT_EQ(gridRow(), 12);
    EXPECT_TRUE(grid->viewport()->rect().contains(cell(12)));  // scrolled into sight
    grid->setCurrentIndex(grid->model()->index(2, 0));
    EXPECT_EQ(name(), "A3");
    table.first();
    click(1);
    EXPECT_EQ(name(), "A2");
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    EXPECT_EQ(name(), "A4");
    key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(name(), "B4");
    key(Qt::Key_PageUp);
    EXPECT_LT(gridRow(), 12);
    EXPECT_EQ(table.currentRow(), gridRow());
}

TEST_F(GridTest, ClicksKeysAndShiftBuildTheSelection) {
    show({"A1", "A2", "A3", "A4", "A5", "A6"});
    click(2);
    EXPECT_EQ(selectedNames(), QStringList({"A3"}));
    click(4, Qt::ControlModifier);
    click(0, Qt::ControlModifier);
    EXPECT_EQ(selectedNames(), QStringList({"A1", "A3", "A5"}));  // sorted by bookmark
    click(2, Qt::ControlModifier);
    EXPECT_EQ(selectedNames(), QStringList({"A1", "A5"}));
    EXPECT_EQ(name(), "A3");
    EXPECT_EQ(grid->selectionModel()->selectedRows().size(), 2);

    // Moving with the navigator or the scroll bar keeps the selection.
    table.next();
    grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
    EXPECT_EQ(selectedNames(), QStringList({"A1", "A5"}));

    // A plain click starts afresh; a keyboard move empties the selection.
    click(1);
    EXPECT_EQ(selectedNames(), QStringList({"A2"}));
    key(Qt::Key_Down);
    EXPECT_TRUE(grid->selectedRows().isEmpty());

    // Shift with the arrows extends from where it started and gives rows back when
    // turning round.
    key(Qt::Key_Down, Qt::ShiftModifier);
    key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(selectedNames(), QStringList({"A3", "A4", "A5"}));
    key(Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(selectedNames(), QStringList({"A3", "A4"}));
    EXPECT_EQ(name(), "A4");

    // Shift with a click selects the rows between.
    click(0);
    click(3, Qt::ShiftModifier);
    EXPECT_EQ(selectedNames(), QStringList({"A1", "A2", "A3", "A4"}));
}

TEST_F(GridTest, SelectedRowsThatLeaveTheViewLeaveTheSelection) {
    show({"Adams", "Baker", "Cole"});
    click(0);
    click(2, Qt::ControlModifier);
    table.setFilter("\"C\" $ upper(Name)");
    table.setFiltered(true);
    EXPECT_EQ(selectedNames(), QStringList({"Cole"}));
    table.close();
    table.open();
    EXPECT_TRUE(grid->selectedRows().isEmpty());
}

TEST_F(GridTest, CtrlDeleteAsksThenDeletesTheCurrentRecord) {
    show({"Adams", "Baker", "Cole"});
    click(1);
    answer = false;
    key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(questions, QStringList({"Delete record?"}));
    EXPECT_EQ(grid->model()->rowCount(), 3);

    answer = true;
    key(Qt::Key_Delete);  // without Ctrl: nothing
    key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(questions.size(), 2);
    EXPECT_EQ(rows(), QStringList({"Adams", "Cole"}));
    EXPECT_EQ(deletes, 1);
    EXPECT_EQ(gridRow(), table.currentRow());
    EXPECT_TRUE(grid->selectedRows().isEmpty());

    // An empty table asks nothing.
    key(Qt::Key_Delete, Qt::ControlModifier);
    key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(table.visibleCount(), 0);
    questions.clear();
    key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_TRUE(questions.isEmpty());
}

TEST_F(GridTest, CtrlDeleteWithSeveralSelectedDeletesThemAll) {
    show({"A1", "A2", "A3", "A4", "A5"});
    QSignalSpy refreshes(&source, &data::DataSource::dataChanged);
    click(0);
    click(2, Qt::ControlModifier);
    click(4, Qt::ControlModifier);
    click(3);  // a plain click: one row again
    click(1, Qt::ControlModifier);
    click(4, Qt::ControlModifier);
    refreshes.clear();
    key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(questions, QStringList({"Delete all selected records?"}));
    EXPECT_EQ(rows(), QStringList({"A1", "A3"}));
    EXPECT_EQ(deletes, 3);
    EXPECT_EQ(refreshes.count(), 1);  // the controls followed once, at the end
    EXPECT_TRUE(grid->selectedRows().isEmpty());
}

TEST_F(GridTest, CellsAreEditedOnlyWhileTheSetIsEditing) {
    show({"Adams", "Baker"});
    QSignalSpy typed(grid, &data::DBGrid::keyTyped);
    const QModelIndex first = grid->model()->index(0, 0);
    EXPECT_FALSE(grid->model()->flags(first) & Qt::ItemIsEditable);
    QTest::keyClicks(grid, "b");
    ASSERT_EQ(typed.count(), 1);
    EXPECT_EQ(typed.at(0).at(0).value<QChar>(), QChar('b'));
    EXPECT_FALSE(grid->cellEditorOpen());
    EXPECT_EQ(table.state(), DataSetState::Browse);

    table.edit();
    EXPECT_TRUE(grid->model()->flags(first) & Qt::ItemIsEditable);
    EXPECT_FALSE(grid->model()->flags(grid->model()->index(1, 0)) & Qt::ItemIsEditable);
    typeInCell("Zed");
    EXPECT_EQ(typed.count(), 1);  // the keys went into the cell
    ASSERT_NE(cellEditor(), nullptr);
    EXPECT_EQ(cellEditor()->text(), "Zed");
    EXPECT_EQ(cellEditor()->maxLength(), 30);
    pressReturnInCell();
    EXPECT_EQ(name(), "Zed");
    EXPECT_TRUE(table.modified());
    EXPECT_EQ(table.state(), DataSetState::Edit);
    table.post();
    EXPECT_EQ(rows(), QStringList({"Baker", "Zed"}));
    EXPECT_EQ(gridRow(), 1);
}

TEST_F(GridTest, TheCellEditorShowsTheCodePageRefusalAndKeepsTheName) {
    show({"Adams"});
    table.edit();
    key(Qt::Key_F2);
    ASSERT_NE(cellEditor(), nullptr);
    cellEditor()->setText(QString::fromUtf8("Adams → Co"));
    pressReturnInCell();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith("The name contains characters that cannot be stored"));
    EXPECT_EQ(name(), "Adams");
    EXPECT_FALSE(table.modified());
}

TEST_F(GridTest, PostingWritesTheOpenCellEditorFirst) {
    show({"Adams"});
    table.edit();
    typeInCell("Baker");
    ASSERT_TRUE(grid->cellEditorOpen());
    table.post();
    EXPECT_EQ(name(), "Baker");
    EXPECT_FALSE(grid->cellEditorOpen());

    // A refused text in the open editor stops the save instead.
    table.edit();
    typeInCell("Cole");
    cellEditor()->setText(QString::fromUtf8("Cole ✓"));
    EXPECT_THROW(table.post(), data::Abort);
    EXPECT_EQ(table.state(), DataSetState::Edit);
    EXPECT_EQ(errors.size(), 1);
}

TEST_F(GridTest, AnUntouchedNewRowIsAbandonedWhenTheFocusLeaves) {
    show({"Adams", "Baker"});
    int cancels = 0;
    table.afterCancel = [&](data::DataSet&) { ++cancels; };
    table.insert();
    grid->setFocus();
    other->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(table.state(), DataSetState::Browse);
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(grid->model()->rowCount(), 2);

    // Typed-in rows stay, and the cell editor taking the focus is no leaving.
    grid->setFocus();
    table.insert();
    typeInCell("Cole");
    EXPECT_EQ(table.state(), DataSetState::Insert);
    pressReturnInCell();
    other->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(table.state(), DataSetState::Insert);
    EXPECT_EQ(cancels, 1);

    // An arrow key on an untouched new row drops it too; Escape cancels an edit.
    table.cancel();
    grid->setFocus();
    table.insert();
    key(Qt::Key_Up);
    EXPECT_EQ(table.state(), DataSetState::Browse);
    table.edit();
    key(Qt::Key_Escape);
    EXPECT_EQ(table.state(), DataSetState::Browse);
}

TEST_F(GridTest, DoubleClickIsReported) {
    show({"Adams", "Baker"});
    QSignalSpy doubleClicks(grid, &QAbstractItemView::doubleClicked);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell(1));
    ASSERT_EQ(doubleClicks.count(), 1);
    EXPECT_EQ(name(), "Baker");
}

TEST_F(GridTest, ErrorsOfGridActionsGoToTheErrorDisplay) {
    show({"Adams", "Baker"});
    table.beforePost = [](data::DataSet&) {
        throw xbase::Error(xbase::ErrorKind::Locked, xbase::code::RecordLocked,
                           "Record 1 is locked");
    };
    table.edit();
    table.fieldByName("NAME").setAsString("Abel");
    click(1);  // moving would save; the save fails
    EXPECT_EQ(errors, QStringList({"Record 1 is locked"}));
    EXPECT_EQ(table.state(), DataSetState::Edit);
    EXPECT_EQ(gridRow(), 0);
}

}  // namespace
