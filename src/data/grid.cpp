#include <data/grid.h>

#include <QApplication>
#include <QHeaderView>
#include <QItemSelection>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionHeader>
#include <QStyledItemDelegate>

#include <algorithm>

#include "control_support.h"
#include "glyphs.h"

namespace data {
namespace {

constexpr int kIndicatorWidth = 13;

// The record indicator: a narrow vertical header that draws a marker instead of a
// row number.
class IndicatorHeader : public QHeaderView {
  public:
    explicit IndicatorHeader(DBGrid* grid) : QHeaderView(Qt::Vertical, grid), grid_(grid) {
        setSectionResizeMode(QHeaderView::Fixed);
        setSectionsClickable(false);
        setHighlightSections(false);
    }

    QSize sizeHint() const override { return {kIndicatorWidth, defaultSectionSize()}; }

  protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
        QStyleOptionHeader option;
        initStyleOption(&option);
        option.rect = rect;
        option.section = logicalIndex;
        option.text.clear();
        style()->drawControl(QStyle::CE_HeaderSection, &option, painter, this);

        const auto indicator = static_cast<GridModel::Indicator>(
            model()->headerData(logicalIndex, Qt::Vertical, GridModel::IndicatorRole).toInt());
        glyphs::Shape shape = glyphs::Shape::SelectedRow;
        switch (indicator) {
            case GridModel::Indicator::Current:
                shape = glyphs::Shape::CurrentRow;
                break;
            case GridModel::Indicator::Editing:
                shape = glyphs::Shape::EditingRow;
                break;
            case GridModel::Indicator::Inserting:
                shape = glyphs::Shape::InsertingRow;
                break;
            case GridModel::Indicator::None: {
                DataSet* set = grid_->dataSource() ? grid_->dataSource()->dataSet() : nullptr;
                if (set == nullptr || !set->active()) return;
                try {
                    if (!grid_->isRowSelected(set->visibleAt(logicalIndex))) return;
                } catch (const std::exception&) {
                    return;
                }
                break;
            }
        }
        const int side = std::max(6, std::min(rect.width(), rect.height()) - 2);
        const QRectF box(rect.left() + (rect.width() - side) / 2.0,
                         rect.top() + (rect.height() - side) / 2.0, side, side);
        glyphs::draw(*painter, box, shape, palette().color(QPalette::ButtonText));
    }

  private:
    DBGrid* grid_;
};

}  // namespace

// The cell editor: a line no longer than the field, and the current row drawn tinted
// even when it is not among the selected rows.
class GridDelegate : public QStyledItemDelegate {
  public:
    explicit GridDelegate(DBGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override {
        auto* editor = new QLineEdit(parent);
        editor->setFrame(false);
        editor->installEventFilter(grid_);
        const int width = index.data(GridModel::FieldWidthRole).toInt();
        if (width > 0) editor->setMaxLength(width);
        grid_->editor_ = editor;
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        // Rewriting the same text would move the caret while the user types.
        auto* line = qobject_cast<QLineEdit*>(editor);
        const QString text = index.data(Qt::EditRole).toString();
        if (line != nullptr && line->text() != text) line->setText(text);
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        auto* line = qobject_cast<QLineEdit*>(editor);
        if (line != nullptr && !model->setData(index, line->text(), Qt::EditRole))
            grid_->commitFailed_ = true;
    }

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.row() == grid_->currentIndex().row() &&
            !(option->state & QStyle::State_Selected)) {
            QColor tint = option->palette.color(QPalette::Highlight);
            tint.setAlpha(60);
            option->backgroundBrush = tint;
        }
    }

  private:
    DBGrid* grid_;
};

DBGrid::DBGrid(QWidget* parent) : QTableView(parent), model_(new GridModel(this)) {
    setVerticalHeader(new IndicatorHeader(this));
    setModel(model_);
    setItemDelegate(new GridDelegate(this));
    horizontalHeader()->hide();
    horizontalHeader()->setHighlightSections(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::MultiSelection);
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed);
    setTabKeyNavigation(false);
    setShowGrid(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    verticalHeader()->viewport()->installEventFilter(this);
    model_->showError = [this](const std::exception& error) { report(error); };
    connect(model_, &GridModel::refreshed, this, &DBGrid::followDataSet);
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { followedRow_ = -1; });
}

DBGrid::~DBGrid() {
    // An open cell editor hands its text over as it loses the focus in the teardown;
    // by then there must be nothing left to write to.
    for (auto& c : connections_) disconnect(c);
    model_->showError = nullptr;
    model_->setDataSource(nullptr);
}

void DBGrid::setDataSource(DataSource* source) {
    for (auto& c : connections_) disconnect(c);
    source_ = source;
    selected_.clear();
    extending_ = false;
    if (source != nullptr) {
        // Before the model's own connections, so an open editor closes before rows change.
        connections_ = {
            connect(source, &DataSource::stateChanged, this, &DBGrid::stateChanged),
            connect(source, &DataSource::updateRecord, this, &DBGrid::flushEditor),
            connect(source, &DataSource::dataSetChanged, this, &DBGrid::clearSelectedRows),
        };
    }
    model_->setDataSource(source);
}

DataSource* DBGrid::dataSource() const {
    return source_;
}
GridModel* DBGrid::gridModel() const {
    return model_;
}
void DBGrid::setColumns(const QStringList& fieldNames) {
    model_->setColumns(fieldNames);
}

DataSet* DBGrid::dataSet() const {
    DataSet* set = source_ ? source_->dataSet() : nullptr;
    return set != nullptr && set->active() ? set : nullptr;
}

bool DBGrid::run(const std::function<void()>& action) {
    try {
        action();
        return true;
    } catch (const Abort&) {
    } catch (const std::exception& error) {
        report(error);
    }
    return false;
}

void DBGrid::report(const std::exception& error) {
    reportError(this, showError, error);
}

// ---------------------------------------------------------------- following the set

void DBGrid::followDataSet() {
    pruneSelection();
    int row = -1;
    if (DataSet* set = dataSet()) {
        try {
            row = set->currentRow();
        } catch (const std::exception&) {
        }
    }
    const QModelIndex target = row >= 0 && row < model_->rowCount()
                                   ? model_->index(row, std::max(0, currentIndex().column()))
                                   : QModelIndex();
    if (target != currentIndex()) {
        syncing_ = true;
        selectionModel()->setCurrentIndex(target, QItemSelectionModel::NoUpdate);
        syncing_ = false;
    }
    // The current record stays in sight, as the set moves it; scrolling by hand does not
    // bring it back until the set moves again.
    if (target.isValid() && row != followedRow_) scrollTo(target);
    followedRow_ = row;
    applySelection();
    verticalHeader()->viewport()->update();
}

void DBGrid::stateChanged() {
    DataSet* set = dataSet();
    if (cellEditorOpen() && (set == nullptr || !set->editing())) {
        closeEditor(editor_, QAbstractItemDelegate::RevertModelCache);
        editor_ = nullptr;
    }
}

bool DBGrid::cellEditorOpen() const {
    return editor_ && state() == QAbstractItemView::EditingState;
}

void DBGrid::flushEditor(bool& accepted) {
    if (!cellEditorOpen()) return;
    commitFailed_ = false;
    commitData(editor_);
    if (commitFailed_) accepted = false;
}

void DBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    commitFailed_ = false;
    QTableView::currentChanged(current, previous);  // writes an open cell editor first
    if (syncing_ || !current.isValid() || (previous.isValid() && current.row() == previous.row()))
        return;
    if (commitFailed_) {
        followDataSet();  // the typed text was refused: stay on the record
        return;
    }
    moveToRow(current.row());
}

void DBGrid::moveToRow(int row) {
    DataSet* set = dataSet();
    if (set == nullptr) return;
    const bool moved = run([&] {
        if (row == set->currentRow()) return;
        const Bookmark target = set->visibleAt(row);
        if (target.valid()) set->gotoBookmark(target);
    });
    if (!moved) followDataSet();
}

// ---------------------------------------------------------------- selection

const QList<Bookmark>& DBGrid::selectedRows() const {
    return selected_;
}

void DBGrid::clearSelectedRows() {
    selected_.clear();
    extending_ = false;
    applySelection();
}

bool DBGrid::isRowSelected(Bookmark bookmark) const {
    return bookmark.valid() && std::binary_search(selected_.begin(), selected_.end(), bookmark);
}

void DBGrid::setRowSelected(Bookmark bookmark, bool selected) {
    if (!bookmark.valid()) return;
    auto at = std::lower_bound(selected_.begin(), selected_.end(), bookmark);
    const bool present = at != selected_.end() && *at == bookmark;
    if (selected && !present) selected_.insert(at, bookmark);
    if (!selected && present) selected_.erase(at);
    applySelection();
}

void DBGrid::pruneSelection() {
    DataSet* set = dataSet();
    if (set == nullptr) {
        selected_.clear();
        extending_ = false;
        return;
    }
    if (set->bookmarkEpoch() != epoch_) {
        epoch_ = set->bookmarkEpoch();
        selected_.clear();
        extending_ = false;
        return;
    }
    try {
        selected_.removeIf([set](Bookmark b) { return set->rowOf(b) < 0; });
    } catch (const std::exception&) {
        selected_.clear();
    }
}

void DBGrid::applySelection() {
    QItemSelection selection;
    DataSet* set = dataSet();
    const int columns = model_->columnCount();
    if (set != nullptr && columns > 0) {
        std::vector<int> rows;
        try {
            for (Bookmark b : selected_) {
                const int row = set->rowOf(b);
                if (row >= 0 && row < model_->rowCount()) rows.push_back(row);
            }
        } catch (const std::exception&) {
        }
        std::sort(rows.begin(), rows.end());
        // Neighbouring rows as one range: a Shift selection over many rows stays cheap.
        for (size_t i = 0; i < rows.size();) {
            size_t j = i;
            while (j + 1 < rows.size() && rows[j + 1] <= rows[j] + 1) ++j;
            selection.select(model_->index(rows[i], 0), model_->index(rows[j], columns - 1));
            i = j + 1;
        }
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    verticalHeader()->viewport()->update();
}

QItemSelectionModel::SelectionFlags DBGrid::selectionCommand(const QModelIndex&,
                                                             const QEvent*) const {
    return QItemSelectionModel::NoUpdate;  // the bookmarks decide; see applySelection()
}

void DBGrid::keyboardSearch(const QString&) {}
void DBGrid::selectAll() {}

// ---------------------------------------------------------------- mouse

void DBGrid::mousePressEvent(QMouseEvent* event) {
    DataSet* set = dataSet();
    const QModelIndex index = indexAt(event->position().toPoint());
    if (set == nullptr || event->button() != Qt::LeftButton || !index.isValid()) {
        QTableView::mousePressEvent(event);
        return;
    }
    bool wasCurrent = false;
    const bool moved = run([&] {
        wasCurrent = index.row() == set->currentRow();
        if (wasCurrent) return;
        const Bookmark target = set->visibleAt(index.row());
        if (target.valid()) set->gotoBookmark(target);
    });
    if (!moved) {
        followDataSet();
        return;
    }
    syncing_ = true;
    selectionModel()->setCurrentIndex(model_->index(std::max(0, set->currentRow()), index.column()),
                                      QItemSelectionModel::NoUpdate);
    syncing_ = false;

    const Bookmark here = set->bookmark();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (here.valid()) {
        if (modifiers & Qt::ControlModifier) {
            auto at = std::lower_bound(selected_.begin(), selected_.end(), here);
            if (at != selected_.end() && *at == here)
                selected_.erase(at);
            else
                selected_.insert(at, here);
        } else if ((modifiers & Qt::ShiftModifier) && anchor_.valid() && set->rowOf(anchor_) >= 0) {
            const int from = std::min(set->rowOf(anchor_), set->currentRow());
            const int to = std::max(set->rowOf(anchor_), set->currentRow());
            selected_.clear();
            for (int row = from; row <= to; ++row) {
                const Bookmark b = set->visibleAt(row);
                if (b.valid()) selected_.append(b);
            }
            std::sort(selected_.begin(), selected_.end());
        } else {
            selected_ = {here};
        }
        if (!(modifiers & Qt::ShiftModifier)) anchor_ = here;
    }
    extending_ = false;
    applySelection();
    viewport()->update();
    if (wasCurrent && set->editing() && (model_->flags(index) & Qt::ItemIsEditable)) edit(index);
}

void DBGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    // The press was handled above, so the base would not recognise the double click.
    if (event->button() != Qt::LeftButton) {
        QTableView::mouseDoubleClickEvent(event);
        return;
    }
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid()) {
        moveToRow(index.row());
        emit doubleClicked(index);
    }
    event->accept();
    emit areaDoubleClicked();
}

bool DBGrid::eventFilter(QObject* watched, QEvent* event) {
    // The record indicator and the cell editor are part of the grid for a double click.
    const bool ours = watched == verticalHeader()->viewport() || (editor_ && watched == editor_);
    if (ours && event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        emit areaDoubleClicked();
        return true;
    }
    return QTableView::eventFilter(watched, event);
}

// ---------------------------------------------------------------- keyboard

int DBGrid::pageRows() const {
    return std::max(1, viewport()->height() / std::max(1, verticalHeader()->defaultSectionSize()));
}

void DBGrid::keyboardMove(int distance, bool extend) {
    DataSet* set = dataSet();
    if (set == nullptr || distance == 0) return;
    const int direction = distance > 0 ? 1 : -1;
    const bool moved = run([&] {
        // An untouched new row is dropped rather than saved.
        if (set->state() == DataSetState::Insert) {
            bool accepted = true;
            flushEditor(accepted);
            if (!accepted) throw Abort{};
            if (!set->modified()) {
                set->cancel();
                return;
            }
        }
        bool addAfter = false;
        if (extend) {
            const Bookmark here = set->bookmark();
            if (!extending_) {
                anchor_ = here;
                setRowSelected(here, true);
                extending_ = true;
                addAfter = true;
            } else {
                // Moving back towards the anchor gives up the row being left.
                const int side = set->rowOf(here) - set->rowOf(anchor_);
                addAfter = (side > 0 ? 1 : side < 0 ? -1 : 0) != -direction;
                if (!addAfter) setRowSelected(here, false);
            }
        }
        set->moveBy(distance);
        if (addAfter) setRowSelected(set->bookmark(), true);
    });
    if (moved && !extend) clearSelectedRows();
}

void DBGrid::keyPressEvent(QKeyEvent* event) {
    DataSet* set = dataSet();
    if (set == nullptr) {
        QTableView::keyPressEvent(event);
        return;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const bool control = modifiers & Qt::ControlModifier;
    const bool shift = modifiers & Qt::ShiftModifier;
    switch (event->key()) {
        case Qt::Key_Delete:
            if (control) {
                deleteWithConfirmation();
                return;
            }
            break;
        case Qt::Key_Up:
            keyboardMove(-1, shift);
            return;
        case Qt::Key_Down:
            keyboardMove(1, shift);
            return;
        case Qt::Key_PageUp:
            keyboardMove(-pageRows(), false);
            return;
        case Qt::Key_PageDown:
            keyboardMove(pageRows(), false);
            return;
        case Qt::Key_Home:
        case Qt::Key_End:
            if (control) {
                if (run([&] { event->key() == Qt::Key_Home ? set->first() : set->last(); }))
                    clearSelectedRows();
                return;
            }
            break;
        case Qt::Key_Escape:
            if (set->editing()) {
                run([&] { set->cancel(); });
                return;
            }
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_F2:
            // Return from the cell editor comes here after the editor has had it.
            if (cellEditorOpen()) return;
            if (currentIndex().isValid() && (model_->flags(currentIndex()) & Qt::ItemIsEditable)) {
                edit(currentIndex());
                return;
            }
            break;
        case Qt::Key_A:
            if (control) return;  // no select-all: the selection is made row by row
            break;
        default:
            break;
    }
    const QString text = event->text();
    const bool printable =
        !text.isEmpty() && text[0].unicode() >= 32 && text[0].unicode() != 127 &&
        !(modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (printable) {
        // Typing opens the cell editor where the cell may be edited; otherwise the key
        // belongs to whoever listens (the quick jump).
        if (currentIndex().isValid() && (model_->flags(currentIndex()) & Qt::ItemIsEditable))
            QTableView::keyPressEvent(event);
        if (state() != QAbstractItemView::EditingState) emit keyTyped(text[0]);
        return;
    }
    QTableView::keyPressEvent(event);
}

void DBGrid::deleteWithConfirmation() {
    DataSet* set = dataSet();
    if (set == nullptr || set->isEmpty()) return;
    const bool several = selected_.size() >= 2;
    const QString question =
        several ? QStringLiteral("Delete all selected records?") : QStringLiteral("Delete record?");
    const bool confirmed = confirmDeletion(this, confirmDelete, question);
    if (!confirmed) return;
    if (!several) {
        run([&] { set->deleteRecord(); });
        return;
    }
    const QList<Bookmark> doomed = selected_;
    set->disableControls();
    run([&] {
        for (Bookmark b : doomed) {
            if (set->gotoBookmark(b)) set->deleteRecord();
            selected_.removeOne(b);
        }
    });
    set->enableControls();
}

// ---------------------------------------------------------------- focus and look

void DBGrid::focusOutEvent(QFocusEvent* event) {
    QTableView::focusOutEvent(event);
    DataSet* set = dataSet();
    if (set == nullptr || set->state() != DataSetState::Insert || set->modified()) return;
    // Only a move to another control of this window abandons the new row: not the cell
    // editor, not a message box or another window taking over.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    QWidget* next = QApplication::focusWidget();
    if (next == nullptr || next == this || isAncestorOf(next) || next->window() != window()) return;
    run([&] { set->cancel(); });
}

void DBGrid::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
}

}  // namespace data
