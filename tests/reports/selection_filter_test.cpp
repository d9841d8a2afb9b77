// The filter expressions of the record selection, as text and as the engine reads them
// back over a table of awkward names.

#include <gtest/gtest.h>

#include <xbase/cursor.h>

#include <reports/selection_filter.h>
#include <store/address_rules.h>
#include "entry_writer.h"
#include "temp_dir.h"

namespace {

using reports::currentEntryFilter;
using reports::nameRangeFilter;
using reports::selectedNamesFilter;

TEST(SelectionFilter, PlainNamesGiveTheExpressionsAsWritten) {
    EXPECT_EQ(currentEntryFilter("SMITH"), "upper(Name)=\"SMITH\"");
    EXPECT_EQ(nameRangeFilter("ADAMS", "COLE"),
              "upper(Name) >= \"ADAMS\" AND upper(Name) <= \"COLE\"");
    EXPECT_EQ(nameRangeFilter("COLE", "ADAMS"), nameRangeFilter("ADAMS", "COLE"));
    EXPECT_EQ(selectedNamesFilter({"Smith"}), "Name=\"Smith\"");
    EXPECT_EQ(selectedNamesFilter({"Smith", "Jones", "Smith"}),
              "Name=\"Smith\" OR Name=\"Jones\" OR Name=\"Smith\"");
    EXPECT_THROW(selectedNamesFilter({}), std::invalid_argument);
}

TEST(SelectionFilter, RangeEndsCompareAsUnsignedBytes) {
    // "\xC9" (E acute in Windows-1252) sorts after every ASCII letter, as the index has it.
    EXPECT_EQ(nameRangeFilter("\xC9MILE", "ZED"),
              "upper(Name) >= \"ZED\" AND upper(Name) <= \"\xC9MILE\"");
    EXPECT_EQ(nameRangeFilter("AB", "A"), "upper(Name) >= \"A\" AND upper(Name) <= \"AB\"");
}

class SelectionFilterOverATable : public ::testing::Test {
  protected:
    SelectionFilterOverATable() {
        testsupport::writeEntries(folder.path(), {names.begin(), names.end()});
        cursor.open(folder.path() / store::kTableFileName);
        cursor.selectIndex("ADDRESS");
    }
    std::vector<std::string> passing(const std::string& expression) {
        cursor.setFilter(expression);
        cursor.setFiltered(true);
        std::vector<std::string> out;
        for (cursor.first(); !cursor.eof(); cursor.next())
            out.push_back(cursor.text(cursor.requireField(store::kNameField)));
        return out;
    }

    const std::vector<std::string> names = {"O\"Brien", "it's",  "[x]",    "a\"b'c]d", "A\"B'C]D",
                                            "Plain",    "q\"\"", "'\"[]'", "Smith  Jr"};
    testsupport::TempDir folder;
    xbase::Cursor cursor;
};

TEST_F(SelectionFilterOverATable, EveryNameFindsItselfWhateverQuotesItHolds) {
    for (const std::string& name : names) {
        const std::string upper = store::upperAscii(name);
        std::vector<std::string> same;
        for (const std::string& other : names)
            if (store::upperAscii(other) == upper) same.push_back(other);
        auto found = passing(currentEntryFilter(upper));
        std::sort(found.begin(), found.end());
        std::sort(same.begin(), same.end());
        EXPECT_EQ(found, same) << name;
        EXPECT_EQ(passing(selectedNamesFilter({name})), std::vector<std::string>{name}) << name;
        EXPECT_EQ(passing(nameRangeFilter(upper, upper)).size(), same.size()) << name;
    }
    const auto both = passing(selectedNamesFilter({"[x]", "O\"Brien"}));
    EXPECT_EQ(both.size(), 2u);
    const auto range = passing(nameRangeFilter("O\"BRIEN", "[X]"));
    // O"BRIEN < PLAIN < Q"" < SMITH  JR < [X] as bytes.
    EXPECT_EQ(range, (std::vector<std::string>{"O\"Brien", "Plain", "q\"\"", "Smith  Jr", "[x]"}));
}

TEST_F(SelectionFilterOverATable, ASelectionOfManyNamesStaysWithinTheEngine) {
    std::vector<std::string> many(3000, "Plain");
    many.push_back("it's");
    EXPECT_EQ(passing(selectedNamesFilter(many)).size(), 2u);
}

}  // namespace
