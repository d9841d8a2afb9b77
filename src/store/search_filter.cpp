#include <store/search_filter.h>

#include <algorithm>
#include <array>
#include <exception>

#include <platform/prompter.h>
#include <xbase/cursor.h>
#include <xbase/error.h>
#include <xbase/expression.h>

#include <store/address_module.h>
#include <store/address_rules.h>

namespace store {
namespace {

// Every byte as it compares: a-z as A-Z, the rest as it is.
constexpr std::array<unsigned char, 256> kFolded = [] {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[static_cast<std::size_t>(c)] =
            static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return table;
}();

// Whether `upperNeedle` occurs in `text`, a-z of the text taken in upper case.
bool containsFolded(std::string_view text, std::string_view upperNeedle) {
    if (upperNeedle.empty()) return true;
    const auto folded = [](char t, char n) {
        return kFolded[static_cast<unsigned char>(t)] == static_cast<unsigned char>(n);
    };
    return std::search(text.begin(), text.end(), upperNeedle.begin(), upperNeedle.end(), folded) !=
           text.end();
}

std::uint64_t fingerprint(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash == 0 ? 1 : hash;
}

}  // namespace

QString upperAsciiLetters(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) c = QChar(c.unicode() - 'a' + 'A');
    }
    return out;
}

std::string nameOnlyFilter(std::string_view searchText) {
    // A text of all three quote kinds comes back as a sum of constants; the brackets keep
    // the sum together before $.
    const std::string constant = xbase::Expression::quote(searchText);
    const bool sum = constant.size() != searchText.size() + 2;
    return (sum ? "(" + constant + ")" : constant) + "$upper(Name)";
}

SearchFilter::SearchFilter(ProgramState& state, data::DataSet& table, data::DataSet& lookup,
                           platform::Prompter& prompter)
    : state_(state), table_(table), lookup_(lookup), prompter_(prompter) {}

SearchOutcome SearchFilter::search(const QString& typed, bool includeMemo,
                                   const SearchDisplay& display) {
    if (typed.isEmpty()) return SearchOutcome::Unchanged;
    // An entry being edited is saved (or, untouched, dropped) as any move would do it,
    // before anything changes: a save the checks refuse ends the search right here.
    if (table_.editing()) table_.first();
    state_.searchText = upperAsciiLetters(typed);

    // A text the table's code page cannot hold is in no name and no memo.
    bool holdable = true;
    std::string encoded;
    try {
        encoded = table_.fromUnicode(state_.searchText);
    } catch (const xbase::Error&) {
        holdable = false;
    }

    if (includeMemo) {
        lookup_.close();
        lookup_.setExclusive(false);
        lookup_.open();
        table_.setFilter(QString());
    } else {
        state_.nameOnlySearch = true;
        if (holdable) table_.setFilter(table_.toUnicode(nameOnlyFilter(encoded)));
    }

    if (display.suspend) display.suspend();
    bool found = false;
    try {
        if (holdable) {
            table_.setFiltered(true);
            table_.open();
            // Filtering went to the first passing entry; with none the view is at its
            // start and its end at once.
            found = !(table_.bof() && table_.eof());
            // The rest is tested here, once, rather than later while the grid paints: a
            // memo that cannot be read is reported now, and the grid finds its rows ready.
            if (found) table_.visibleCount();
        }
        if (!found) table_.setFiltered(false);
    } catch (...) {
        const std::exception_ptr failure = std::current_exception();
        try {
            table_.setFiltered(false);
        } catch (...) {
        }
        if (display.resume) display.resume();
        std::rethrow_exception(failure);
    }
    if (display.resume) display.resume();

    if (!found) {
        prompter_.message(QString::fromLatin1(kNoMatchMessage));
        return SearchOutcome::NoMatch;
    }
    return SearchOutcome::Filtered;
}

void SearchFilter::cancel() {
    table_.setFiltered(false);
    lookup_.close();
    forgetVerdicts();
}

void SearchFilter::forgetVerdicts() {
    memoPointers_.clear();
    memoPointers_.shrink_to_fit();
    memoVerdicts_.clear();
    memoVerdicts_.shrink_to_fit();
}

void SearchFilter::prepare(data::DataSet& table) {
    if (!prepared_ || table.bookmarkEpoch() != epoch_) {
        // Opened again or packed: other record numbers, perhaps another layout.
        xbase::Cursor& cursor = table.cursor();
        nameField_ = cursor.fieldIndex(kNameField);
        memoField_ = cursor.fieldIndex(kInfoField);
        epoch_ = table.bookmarkEpoch();
        text_.clear();
        prepared_ = false;
        forgetVerdicts();
    }
    if (prepared_ && text_ == state_.searchText) return;
    text_ = state_.searchText;
    try {
        needle_ = upperAscii(table.fromUnicode(text_));
        holdable_ = true;
    } catch (const xbase::Error&) {
        needle_.clear();
        holdable_ = false;
    }
    prepared_ = true;
    forgetVerdicts();
}

bool SearchFilter::accepts(data::DataSet& table) {
    if (state_.nameOnlySearch) return true;
    prepare(table);
    if (!holdable_) return false;
    if (needle_.empty()) return true;
    xbase::Cursor& cursor = table.cursor();
    if (nameField_ >= 0 && containsFolded(cursor.text(nameField_), needle_)) return true;
    return memoField_ >= 0 && memoContains(cursor);
}

bool SearchFilter::memoContains(xbase::Cursor& cursor) {
    const std::uint32_t record = cursor.recno();
    const std::uint64_t pointer = fingerprint(cursor.rawText(memoField_));
    if (record >= memoPointers_.size()) {
        memoPointers_.resize(std::size_t{record} + 1, 0);
        memoVerdicts_.resize(std::size_t{record} + 1, false);
    }
    if (memoPointers_[record] == pointer) return memoVerdicts_[record];

    const std::string memo = cursor.memo(memoField_);
    ++memosRead_;
    // The memo is text up to its first zero byte.
    const std::string_view text(memo.data(), std::min(memo.size(), memo.find('\0')));
    const bool verdict = containsFolded(text, needle_);
    memoPointers_[record] = pointer;
    memoVerdicts_[record] = verdict;
    return verdict;
}

}  // namespace store
