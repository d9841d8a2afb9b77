#pragma once
// The name and clipboard exchange of the toolbar: while an entry is being edited or
// added, the clipboard's text becomes its name; otherwise the current entry's name, or
// the names of all rows selected in the grid, go to the clipboard.

#include <QString>

class QPlainTextEdit;

namespace data {
class DataSet;
class DBGrid;
}  // namespace data

namespace platform {
class Clipboard;
}  // namespace platform

namespace links {

// The name a pasted text gives: its first line only (a line break in a name would break
// the grid, the index and reports), at most `keyLength` characters of it.
QString pastedName(const QString& text, int keyLength);

class NameExchange {
  public:
    // `stagingText` is the main window's hidden plain memo, the staging text both ways.
    NameExchange(data::DataSet& table, data::DBGrid& grid, QPlainTextEdit& stagingText,
                 platform::Clipboard& clipboard);

    // Engine failures (moving between the selected rows, a name the code page cannot
    // hold) leave as exceptions; the grid and memo follow the table again in any case.
    void exchangeNamesWithClipboard();

  private:
    void pasteIntoName();
    void copyNames();

    data::DataSet& table_;
    data::DBGrid& grid_;
    QPlainTextEdit& stagingText_;
    platform::Clipboard& clipboard_;
};

}  // namespace links
