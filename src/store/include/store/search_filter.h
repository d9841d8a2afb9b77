#pragma once
// The search filter: narrows addressTable to the entries whose name, or name or memo,
// contains a text, and widens it again on Cancel Filter.
//
// A name-only search is an engine filter expression ("TEXT"$upper(Name)); a
// name-and-memo search has no expression and is decided entry by entry in the table's
// filter callback, which lands here (accepts). The callback runs many times for the
// same entry (the first passing entry, the emptiness test, every rebuild of the grid's
// rows after a save), so the verdict on each memo is kept until the memo itself changes.

#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <data/dataset.h>

namespace platform {
class Prompter;
}

namespace store {

struct ProgramState;

inline constexpr char kSearchCaption[] = "Search for entries containing:";
inline constexpr char kIncludeMemoCaption[] = "include Memo field";
inline constexpr char kIncludeMemoHint[] = "Search both Name & Memo fields?";
inline constexpr char kNoMatchMessage[] = "Sorry, no records match";

// a-z turned to A-Z; every other character as it is.
QString upperAsciiLetters(const QString& text);

// The filter expression of a name-only search for `searchText` (bytes in the table's code
// page): the text as a constant, then $upper(Name). A text without double quotes goes
// between double quotes as it is; one holding them is quoted so that the engine still
// reads it as that text.
std::string nameOnlyFilter(std::string_view searchText);

// What the search does to the controls bound to addressTable while it applies the filter:
// suspend detaches them and stops their painting, resume brings them back.
struct SearchDisplay {
    std::function<void()> suspend;
    std::function<void()> resume;
};

enum class SearchOutcome {
    Unchanged,  // no text given: the list, the filter and searchText are as they were
    Filtered,   // the list shows the entries found
    NoMatch,    // nothing found: the whole table shows and the user has been told
};

class SearchFilter {
  public:
    // `table` is addressTable, `lookup` lookupTable (held open during a name-and-memo search).
    SearchFilter(ProgramState& state, data::DataSet& table, data::DataSet& lookup,
                 platform::Prompter& prompter);

    // The search for a text typed by the user; `includeMemo` is the memo box. The
    // caller has cleared nameOnlySearch before it asked. Engine failures are
    // thrown after the display has been resumed and the table unfiltered.
    SearchOutcome search(const QString& typed, bool includeMemo, const SearchDisplay& display);

    // Cancel Filter: the whole table shows, lookupTable is closed. searchText, the
    // expression and nameOnlySearch stay.
    void cancel();

    // The filter callback for the entry `table` stands on: whether searchText is in its name
    // or its memo (a-z without regard to case, every other character as it is). During a
    // name-only search it accepts every entry: the expression decides alone.
    bool accepts(data::DataSet& table);

    // How many memos the callback has read since the program started (for measurements).
    std::uint64_t memosRead() const { return memosRead_; }

  private:
    // Brings the encoded search text and the verdicts up to date with searchText and
    // with the table as it is open now.
    void prepare(data::DataSet& table);
    bool memoContains(xbase::Cursor& cursor);
    void forgetVerdicts();

    ProgramState& state_;
    data::DataSet& table_;
    data::DataSet& lookup_;
    platform::Prompter& prompter_;

    // searchText as the callback last saw it, and in the table's code page, upper-cased;
    // `holdable_` is false when the code page cannot hold it, so that nothing matches.
    QString text_;
    std::string needle_;
    bool holdable_ = true;
    bool prepared_ = false;
    quint64 epoch_ = 0;
    int nameField_ = -1;
    int memoField_ = -1;

    // Per record number: a fingerprint of the memo pointer the verdict was made for
    // (0: none yet) and whether that memo holds the text. The engine writes a changed memo
    // to a new place, so a changed memo has a new pointer.
    std::vector<std::uint64_t> memoPointers_;
    std::vector<bool> memoVerdicts_;
    std::uint64_t memosRead_ = 0;
};

}  // namespace store
