#include <algorithm>

#include <xbase/types.h>

#include <data/grid.h>

namespace data {

GridModel::GridModel(QObject* parent) : QAbstractTableModel(parent) {}

DataSet* GridModel::dataSet() const {
    DataSet* set = source_ ? source_->dataSet() : nullptr;
    return set != nullptr && set->active() ? set : nullptr;
}

void GridModel::setDataSource(DataSource* source) {
    for (auto& c : connections_) disconnect(c);
    source_ = source;
    if (source != nullptr) {
        connections_ = {
            connect(source, &DataSource::dataChanged, this, &GridModel::refresh),
            connect(source, &DataSource::stateChanged, this, &GridModel::refresh),
            connect(source, &DataSource::dataSetChanged, this, &GridModel::refresh),
            connect(source, &DataSource::fieldChanged, this, &GridModel::fieldChanged),
        };
    }
    refresh();
}

DataSource* GridModel::dataSource() const {
    return source_;
}

void GridModel::setColumns(const QStringList& fieldNames) {
    beginResetModel();
    columns_ = fieldNames;
    endResetModel();
}

const QStringList& GridModel::columns() const {
    return columns_;
}

int GridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

bool GridModel::inRange(const QModelIndex& index) const {
    return index.isValid() && index.model() == this && index.row() < rows_ &&
           index.column() < static_cast<int>(columns_.size());
}

bool GridModel::isMemoColumn(int column) const {
    DataSet* set = dataSet();
    Field* field = set ? set->findField(columns_.value(column)) : nullptr;
    if (field == nullptr) return false;
    return xbase::isMemoType(field->dataType());
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    DataSet* set = dataSet();
    if (set == nullptr || !inRange(index)) return {};
    if (role != Qt::DisplayRole && role != Qt::EditRole && role != FieldWidthRole) return {};
    // Painting must never throw: a record that cannot be read shows as blank.
    try {
        const QString name = columns_.value(index.column());
        if (role == FieldWidthRole) {
            Field* field = set->findField(name);
            return field ? field->size() : 0;
        }
        if (isMemoColumn(index.column())) {
            // Memos do not fit a cell; the marker says whether there is one.
            return set->fieldTextAt(index.row(), name).isEmpty() ? QStringLiteral("(memo)")
                                                                 : QStringLiteral("(MEMO)");
        }
        return set->fieldTextAt(index.row(), name);
    } catch (const std::exception&) {
        return {};
    }
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable)) return false;
    DataSet* set = dataSet();
    try {
        if (!source_->edit()) return false;
        set->fieldByName(columns_.value(index.column())).setAsString(value.toString());
    } catch (const Abort&) {
        return false;
    } catch (const std::exception& error) {
        if (showError) showError(error);
        return false;
    }
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
    if (!inRange(index)) return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    DataSet* set = dataSet();
    if (set == nullptr) return result;
    try {
        // Only the current record's cells, and only while the set is being edited (or
        // may be, when the source starts editing by itself).
        const bool mayEdit =
            set->editing() || (source_->autoEdit() && set->canModify() && !set->isEmpty());
        if (mayEdit && index.row() == set->currentRow() && !isMemoColumn(index.column()))
            result |= Qt::ItemIsEditable;
    } catch (const std::exception&) {
    }
    return result;
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal) {
        if (role == Qt::DisplayRole) return columns_.value(section);
        return {};
    }
    if (role != IndicatorRole && role != Qt::AccessibleDescriptionRole) return {};
    Indicator indicator = Indicator::None;
    if (DataSet* set = dataSet()) {
        try {
            if (section == set->currentRow()) {
                switch (set->state()) {
                    case DataSetState::Edit:
                        indicator = Indicator::Editing;
                        break;
                    case DataSetState::Insert:
                        indicator = Indicator::Inserting;
                        break;
                    default:
                        indicator = Indicator::Current;
                        break;
                }
            }
        } catch (const std::exception&) {
        }
    }
    if (role == IndicatorRole) return static_cast<int>(indicator);
    switch (indicator) {
        case Indicator::Current:
            return QStringLiteral("current record");
        case Indicator::Editing:
            return QStringLiteral("record being edited");
        case Indicator::Inserting:
            return QStringLiteral("new record");
        default:
            return {};
    }
}

void GridModel::refresh() {
    int rows = 0;
    int current = -1;
    if (DataSet* set = dataSet()) {
        try {
            rows = set->visibleCount();
            current = set->currentRow();
            refreshFailure_.clear();
        } catch (const std::exception& error) {
            // Once, not at every move over a damaged table.
            if (showError && refreshFailure_ != error.what()) showError(error);
            refreshFailure_ = error.what();
        }
    }
    if (rows != rows_) {
        beginResetModel();
        rows_ = rows;
        endResetModel();
    } else if (rows_ > 0 && !columns_.isEmpty()) {
        emit dataChanged(index(0, 0), index(rows_ - 1, static_cast<int>(columns_.size()) - 1));
        // Only the rows whose indicator may differ: a header looks at every row it is
        // told about, and there may be a hundred thousand.
        for (int row : {indicatorRow_, current})
            if (row >= 0 && row < rows_) emit headerDataChanged(Qt::Vertical, row, row);
    }
    indicatorRow_ = current;
    emit refreshed();
}

void GridModel::fieldChanged(const QString& fieldName) {
    DataSet* set = dataSet();
    if (set == nullptr) return;
    int column = -1;
    for (int i = 0; i < columns_.size() && column < 0; ++i)
        if (columns_[i].compare(fieldName, Qt::CaseInsensitive) == 0) column = i;
    if (column < 0) return;
    try {
        const int row = set->currentRow();
        if (row >= 0 && row < rows_) emit dataChanged(index(row, column), index(row, column));
    } catch (const std::exception&) {
    }
}

}  // namespace data
