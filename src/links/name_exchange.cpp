#include <links/name_exchange.h>

#include <QList>
#include <QPlainTextEdit>

#include <algorithm>

#include <data/dataset.h>
#include <data/grid.h>
#include <platform/clipboard.h>

namespace links {
namespace {

const QString kNameField = QStringLiteral("NAME");

// Resumes the display of the bound controls however the copy ends.
class ControlsSuspended {
  public:
    explicit ControlsSuspended(data::DataSet& table) : table_(table) { table_.disableControls(); }
    ~ControlsSuspended() { table_.enableControls(); }
    ControlsSuspended(const ControlsSuspended&) = delete;
    ControlsSuspended& operator=(const ControlsSuspended&) = delete;

  private:
    data::DataSet& table_;
};

bool isLineBreak(QChar c) {
    return c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

}  // namespace

QString pastedName(const QString& text, int keyLength) {
    qsizetype end = 0;
    while (end < text.size() && !isLineBreak(text[end])) ++end;
    return text.left(std::min<qsizetype>(end, std::max(keyLength, 0)));
}

NameExchange::NameExchange(data::DataSet& table, data::DBGrid& grid, QPlainTextEdit& stagingText,
                           platform::Clipboard& clipboard)
    : table_(table), grid_(grid), stagingText_(stagingText), clipboard_(clipboard) {}

void NameExchange::exchangeNamesWithClipboard() {
    if (!table_.active()) return;
    if (table_.editing()) {
        pasteIntoName();
    } else {
        copyNames();
    }
}

void NameExchange::pasteIntoName() {
    const QString pasted = clipboard_.text();
    stagingText_.clear();
    stagingText_.setPlainText(pasted);

    data::Field& name = table_.fieldByName(kNameField);
    // The name key's length; in natural order no index gives one, so the field's width.
    const int width = name.size();
    int keyLength = table_.indexName().isEmpty() ? width : table_.keyLength();
    if (keyLength <= 0 || keyLength > width) keyLength = width;
    // Set in one step: a text the code page cannot hold is refused and the name stays.
    name.setAsString(pastedName(pasted, keyLength));
}

void NameExchange::copyNames() {
    // The grid's list may change as the table moves; walk a copy of it.
    const QList<data::Bookmark> selected = grid_.selectedRows();
    if (selected.size() < 2) {
        // No entry, no name: the clipboard keeps what it holds.
        if (table_.isEmpty()) return;
        stagingText_.setPlainText(table_.fieldByName(kNameField).asString());
    } else {
        {
            ControlsSuspended suspended(table_);
            stagingText_.clear();
            const data::Bookmark current = table_.bookmark();
            for (const data::Bookmark row : selected) {
                // A row deleted or filtered away since it was selected is left out.
                if (!table_.gotoBookmark(row)) continue;
                stagingText_.appendPlainText(table_.fields().front()->asString());
            }
            table_.gotoBookmark(current);
        }
        grid_.viewport()->update();
    }
    stagingText_.selectAll();
    clipboard_.setText(stagingText_.toPlainText());
}

}  // namespace links
