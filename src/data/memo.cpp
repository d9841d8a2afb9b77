#include <data/memo.h>

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>

#include "control_support.h"

namespace data {
namespace {

QString fromStored(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QString toStored(QString text) {
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return text;
}

}  // namespace

DBMemo::DBMemo(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, &DBMemo::store);
}

void DBMemo::setDataSource(DataSource* source) {
    for (auto& c : connections_) disconnect(c);
    source_ = source;
    if (source != nullptr) {
        connections_ = {
            connect(source, &DataSource::dataChanged, this, &DBMemo::load),
            connect(source, &DataSource::stateChanged, this, &DBMemo::load),
            connect(source, &DataSource::dataSetChanged, this, &DBMemo::load),
            connect(source, &DataSource::fieldChanged, this,
                    [this](const QString& name) {
                        if (!storing_ && name.compare(field_, Qt::CaseInsensitive) == 0) load();
                    }),
        };
    }
    load();
}

DataSource* DBMemo::dataSource() const {
    return source_;
}

void DBMemo::setDataField(const QString& fieldName) {
    field_ = fieldName;
    load();
}

const QString& DBMemo::dataField() const {
    return field_;
}

void DBMemo::setWordWrap(bool wrap) {
    setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

bool DBMemo::wordWrap() const {
    return lineWrapMode() != QPlainTextEdit::NoWrap;
}

Field* DBMemo::field() const {
    DataSet* set = source_ ? source_->dataSet() : nullptr;
    if (set == nullptr || !set->active() || field_.isEmpty()) return nullptr;
    return set->findField(field_);
}

void DBMemo::report(const std::exception& error) {
    reportError(this, showError, error);
}

void DBMemo::updateReadOnly() {
    DataSet* set = source_ ? source_->dataSet() : nullptr;
    const bool writable =
        field() != nullptr &&
        (set->editing() || (source_->autoEdit() && set->canModify() && !set->isEmpty()));
    setReadOnly(!writable);
}

void DBMemo::load() {
    QString text;
    bool unreadable = false;
    try {
        if (Field* f = field()) text = fromStored(f->asString());
        readFailure_.clear();
    } catch (const std::exception& error) {
        // Said once per damaged memo, not at every repaint; and it is not offered for
        // editing, which would write over what a repair might still save.
        unreadable = true;
        if (readFailure_ != error.what()) {
            readFailure_ = error.what();
            report(error);
        }
    }
    try {
        updateReadOnly();
    } catch (const std::exception&) {
        unreadable = true;
    }
    if (unreadable) setReadOnly(true);
    if (text == toPlainText()) return;  // keeps the caret and the scroll position
    loading_ = true;
    setPlainText(text);
    loading_ = false;
}

void DBMemo::store() {
    if (loading_) return;
    Field* f = field();
    if (f == nullptr) return;
    storing_ = true;
    try {
        if (source_->edit()) f->setAsString(toStored(toPlainText()));
    } catch (const Abort&) {
    } catch (const std::exception& error) {
        storing_ = false;
        report(error);
        load();  // back to what the record holds
        return;
    }
    storing_ = false;
}

bool DBMemo::accept(const QString& text) {
    Field* f = field();
    if (f == nullptr) return false;
    try {
        if (!source_->edit()) return false;
        f->validate(text);  // refused here, the character never reaches the editor
    } catch (const Abort&) {
        return false;
    } catch (const std::exception& error) {
        report(error);
        return false;
    }
    return true;
}

void DBMemo::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    const bool printable =
        !text.isEmpty() && text[0].unicode() >= 32 && text[0].unicode() != 127 &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (printable) {
        const QWidget* focused = QApplication::focusWidget();
        emit keyTyped(text[0]);
        // A listener may have taken the key and the focus elsewhere (the quick jump does).
        if (QApplication::focusWidget() != focused) return;
        if (isReadOnly() && !(source_ && source_->autoEdit())) return;
        if (!accept(text)) return;
        updateReadOnly();
    }
    QPlainTextEdit::keyPressEvent(event);
}

void DBMemo::inputMethodEvent(QInputMethodEvent* event) {
    if (!event->commitString().isEmpty() && !isReadOnly() && !accept(event->commitString())) {
        QInputMethodEvent stripped(event->preeditString(), event->attributes());
        QPlainTextEdit::inputMethodEvent(&stripped);
        return;
    }
    QPlainTextEdit::inputMethodEvent(event);
}

void DBMemo::insertFromMimeData(const QMimeData* source) {
    if (source->hasText() && !accept(source->text())) return;
    QPlainTextEdit::insertFromMimeData(source);
}

void DBMemo::focusOutEvent(QFocusEvent* event) {
    QPlainTextEdit::focusOutEvent(event);
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    const QWidget* next = QApplication::focusWidget();
    if (next == nullptr || next == this || next->window() != window()) return;
    emit exited();
}

}  // namespace data
