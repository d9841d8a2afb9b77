#pragma once
// A contact's entry made to fit the address table: its text in the table's code page, its
// name free of control characters and cut to the name field. Import and sync both file
// contacts through this, so an entry comes in the same way whichever brought it.

#include <QString>
#include <QStringList>

#include <string>

namespace store {

struct DraftEntry;
class TableText;

struct FittedEntry {
    QString cleanName;    // the name as the report shows it: control characters made blanks
    std::string name;     // in the table's code page, cut to the field, no trailing blanks
    std::string memo;     // in the table's code page
    QStringList changes;  // each change made on the way, in words for the report

    bool changed() const { return !changes.isEmpty(); }
};

class EntryFitter {
  public:
    explicit EntryFitter(TableText& text) : text_(text) {}

    // The name may come out blank (nothing to file the entry under): the caller decides.
    FittedEntry fit(const DraftEntry& draft);

    // `name` followed by `suffix` (" (2)", " (server copy)") within the name field: the
    // name gives way to the suffix, whole characters at a time.
    std::string withSuffix(const std::string& name, const std::string& suffix);

  private:
    std::string fittedName(const std::string& bytes, const QString& fallbackText, bool& cut);

    TableText& text_;
};

}  // namespace store
