#include <data/navigator.h>

#include <QEvent>
#include <QHBoxLayout>

#include "control_support.h"
#include "glyphs.h"

namespace data {
namespace {

struct ButtonLook {
    const char* objectName;
    const char* hint;
    glyphs::Shape shape;
};

constexpr std::array<ButtonLook, DBNavigator::ButtonCount> kButtons{{
    {"First", "First record", glyphs::Shape::First},
    {"Prior", "Prior record", glyphs::Shape::Prior},
    {"Next", "Next record", glyphs::Shape::Next},
    {"Last", "Last record", glyphs::Shape::Last},
    {"Insert", "Insert record", glyphs::Shape::Insert},
    {"Delete", "Delete record", glyphs::Shape::Delete},
    {"Edit", "Edit record", glyphs::Shape::Edit},
    {"Post", "Post edit", glyphs::Shape::Post},
    {"Cancel", "Cancel edit", glyphs::Shape::Cancel},
}};

}  // namespace

DBNavigator::DBNavigator(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < ButtonCount; ++i) {
        auto* button = new QToolButton(this);
        button->setObjectName(QString::fromLatin1(kButtons[size_t(i)].objectName));
        button->setToolTip(QString::fromLatin1(kButtons[size_t(i)].hint));
        button->setAccessibleName(button->toolTip());
        button->setFocusPolicy(Qt::NoFocus);  // pressing a button leaves the focus where it is
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        button->setIconSize(QSize(12, 12));
        layout->addWidget(button);
        buttons_[size_t(i)] = button;
        const auto which = static_cast<Button>(i);
        connect(button, &QToolButton::clicked, this, [this, which] { click(which); });
    }
    updateIcons();
    updateButtons();
}

void DBNavigator::setDataSource(DataSource* source) {
    for (auto& c : connections_) disconnect(c);
    source_ = source;
    if (source != nullptr) {
        connections_ = {
            connect(source, &DataSource::dataChanged, this, &DBNavigator::updateButtons),
            connect(source, &DataSource::stateChanged, this, &DBNavigator::updateButtons),
            connect(source, &DataSource::dataSetChanged, this, &DBNavigator::updateButtons),
        };
    }
    updateButtons();
}

DataSource* DBNavigator::dataSource() const {
    return source_;
}
QToolButton* DBNavigator::button(Button which) const {
    return buttons_.at(size_t(which));
}

void DBNavigator::report(const std::exception& error) {
    reportError(this, showError, error);
}

void DBNavigator::click(Button which) {
    DataSet* set = source_ ? source_->dataSet() : nullptr;
    if (set == nullptr || !set->active()) return;
    try {
        switch (which) {
            case First:
                set->first();
                break;
            case Prior:
                set->prior();
                break;
            case Next:
                set->next();
                break;
            case Last:
                set->last();
                break;
            case Insert:
                set->insert();
                break;
            case Delete: {
                const QString question = QStringLiteral("Delete record?");
                const bool confirmed = confirmDeletion(this, confirmDelete, question);
                if (confirmed) set->deleteRecord();
                break;
            }
            case Edit:
                set->edit();
                break;
            case Post:
                set->post();
                break;
            case Cancel:
                set->cancel();
                break;
            case ButtonCount:
                return;
        }
    } catch (const Abort&) {
        updateButtons();
        return;
    } catch (const std::exception& error) {
        updateButtons();
        report(error);
        return;
    }
    updateButtons();
    emit clicked(which);
}

void DBNavigator::updateButtons() {
    DataSet* set = source_ ? source_->dataSet() : nullptr;
    std::array<bool, ButtonCount> on{};
    if (set != nullptr && set->active()) {
        try {
            const bool editing = set->editing();
            const bool empty = set->isEmpty();
            const bool writable = set->canModify();
            // The row tells the ends: First is off on the first record whether it was
            // reached by First or by a click, and on again once another program adds an
            // entry before it.
            const int row = set->currentRow();
            const int rows = set->visibleCount();
            const bool atStart = empty || (row >= 0 ? row == 0 : set->bof());
            const bool atEnd = empty || (row >= 0 ? row == rows - 1 : set->eof());
            on[First] = on[Prior] = !atStart;
            on[Next] = on[Last] = !atEnd;
            on[Insert] = writable && !editing;
            on[Delete] = on[Edit] = writable && !editing && !empty;
            on[Post] = on[Cancel] = editing;
        } catch (const std::exception&) {
            on = {};
        }
    }
    for (int i = 0; i < ButtonCount; ++i) buttons_[size_t(i)]->setEnabled(on[size_t(i)]);
}

void DBNavigator::updateIcons() {
    const QColor color = palette().color(QPalette::ButtonText);
    for (int i = 0; i < ButtonCount; ++i)
        buttons_[size_t(i)]->setIcon(glyphs::navigatorIcon(kButtons[size_t(i)].shape, color));
}

void DBNavigator::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        updateIcons();
}

}  // namespace data
