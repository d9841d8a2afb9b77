#include <QRegularExpression>

#include <xbase/error.h>
#include <xbase/types.h>

#include <data/dataset.h>
#include "dataset_impl.h"

namespace data {
namespace {

[[noreturn]] void notEditing() {
    throw xbase::Error(xbase::ErrorKind::InvalidArgument, xbase::code::BadState,
                       "The record is not being edited; choose Edit or Insert first");
}

// Two-digit years fall within fifty years of today, as the date display implies.
int fullYear(int year, int digits) {
    if (digits > 2) return year;
    const int now = xbase::Date::today().year;
    int full = now - now % 100 + year;
    if (full > now + 50) full -= 100;
    if (full <= now - 50) full += 100;
    return full;
}

}  // namespace

int Field::column() const {
    if (index_ < 0)
        throw xbase::Error(xbase::ErrorKind::NotFound, xbase::code::FieldNotFound,
                           "Field " + name_.toStdString() + " is not in the table " +
                               owner_.tableName().toStdString());
    owner_.requireActive();
    return index_;
}

char Field::dataType() const {
    return owner_.d_->cursor.field(column()).type;
}
int Field::size() const {
    return owner_.d_->cursor.field(column()).length;
}

QString Field::displayLabel() const {
    if (!label_.isEmpty()) return label_;
    if (index_ >= 0 && owner_.active() && xbase::isMemoType(dataType()))
        return QStringLiteral("memo");
    return name_.toLower();
}

void Field::setDisplayLabel(const QString& label) {
    label_ = label;
}

QString Field::asString() const {
    xbase::Cursor& c = owner_.d_->cursor;
    const int col = column();
    switch (c.field(col).type) {
        case 'D':
            return QString::fromStdString(c.date(col).toDisplay());
        case 'N':
        case 'F':
            return QString::fromStdString(c.text(col)).trimmed();
        default:
            return owner_.d_->text.decode(c.text(col));
    }
}

void Field::setAsString(const QString& value) {
    if (!owner_.editing()) notEditing();
    xbase::Cursor& c = owner_.d_->cursor;
    const int col = column();
    const char type = c.field(col).type;
    if (type == 'D') {
        const QString text = value.trimmed();
        if (text.isEmpty()) {
            clear();
            return;
        }
        static const QRegularExpression shape(
            QStringLiteral("^(\\d{1,2})/(\\d{1,2})/(\\d{2}|\\d{4})$"));
        const auto match = shape.match(text);
        const QDate date =
            match.hasMatch()
                ? QDate(fullYear(match.captured(3).toInt(), int(match.capturedLength(3))),
                        match.captured(1).toInt(), match.captured(2).toInt())
                : QDate();
        if (!date.isValid())
            throw xbase::Error(xbase::ErrorKind::InvalidArgument, xbase::code::BadState,
                               "\"" + text.toStdString() + "\" is not a date (MM/DD/YY)");
        setAsDate(date);
        return;
    }
    if (type == 'L') {
        const QString text = value.trimmed().toUpper();
        c.setLogical(col, text.startsWith('T') || text.startsWith('Y'));
    } else {
        c.setText(col, owner_.d_->text.encode(value, displayLabel()));
    }
    changed();
}

void Field::validate(const QString& value) const {
    if (!owner_.d_->text.canHold(value)) owner_.d_->text.encode(value, displayLabel());
}

QDate Field::asDate() const {
    const xbase::Date date = owner_.d_->cursor.date(column());
    return date.empty() ? QDate() : QDate(date.year, date.month, date.day);
}

void Field::setAsDate(const QDate& value) {
    if (!owner_.editing()) notEditing();
    const int col = column();
    if (!value.isValid())
        owner_.d_->cursor.clear(col);
    else
        owner_.d_->cursor.setDate(col, xbase::Date{value.year(), value.month(), value.day()});
    changed();
}

void Field::clear() {
    if (!owner_.editing()) notEditing();
    owner_.d_->cursor.clear(column());
    changed();
}

bool Field::isNull() const {
    xbase::Cursor& c = owner_.d_->cursor;
    const int col = column();
    const char type = c.field(col).type;
    if (type == 'D') return c.date(col).empty();
    if (xbase::isMemoType(type)) return c.memoSize(col) == 0;
    return c.rawText(col).find_first_not_of(' ') == std::string::npos;
}

QByteArray Field::asBytes() const {
    return QByteArray::fromStdString(owner_.d_->cursor.memo(column()));
}

uint32_t Field::memoSize() const {
    return owner_.d_->cursor.memoSize(column());
}

void Field::changed() {
    owner_.d_->modified = true;
    if (!owner_.controlsDisabled()) emit owner_.fieldChanged(name_);
}

}  // namespace data
