#include <links/address_entry.h>

#include <QTextCursor>
#include <QWidget>

#include <data/dataset.h>
#include <data/memo.h>

#include <links/memo_lines.h>

namespace links {
namespace {

const QString kNameField = QStringLiteral("NAME");

}  // namespace

AddressEntry::AddressEntry(data::DataSet& table, data::DBMemo& memo, QWidget& grid)
    : table_(table), memo_(memo), grid_(grid) {}

QString AddressEntry::entryName() {
    if (!table_.active() || (!table_.editing() && table_.isEmpty())) return {};
    return table_.fieldByName(kNameField).asString();
}

QStringList AddressEntry::memoLines(bool wrapped) {
    return links::memoLines(memo_, wrapped);
}

std::string AddressEntry::toTableText(const QString& text) {
    return table_.fromUnicode(text);
}

QString AddressEntry::fromTableText(const std::string& bytes) {
    return table_.toUnicode(bytes);
}

void AddressEntry::focusMemo() {
    memo_.setFocus();
}

void AddressEntry::editEntry() {
    if (table_.editing()) return;
    // With no entry to edit, the edit starts a new one.
    if (table_.isEmpty()) {
        table_.insert();
    } else {
        table_.edit();
    }
}

QString AddressEntry::memoText() {
    return memo_.toPlainText();
}

void AddressEntry::appendToMemo(const QString& text) {
    QTextCursor end(memo_.document());
    end.movePosition(QTextCursor::End);
    end.insertText(text);
}

bool AddressEntry::postEntry() {
    try {
        table_.post();
    } catch (const data::Abort&) {
        return false;
    }
    return true;
}

void AddressEntry::focusGrid() {
    grid_.setFocus();
}

}  // namespace links
