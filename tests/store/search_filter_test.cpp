// The search filter on the address table: which entries a name-only and a name-and-memo
// search keep, what they leave behind (searchText, nameOnlySearch, lookupTable, the expression),
// the texts the engine could not read as they were typed, and the memo reads it costs.

#include <QFile>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <platform/fakes.h>
#include <xbase/error.h>

#include <store/address_book.h>
#include <store/address_module.h>
#include <store/address_rules.h>
#include <store/search_filter.h>
#include "module_fixture.h"
#include "temp_dir.h"
#include "test_paths.h"

namespace {

using store::SearchOutcome;

class Search : public testsupport::AddressModuleTest {
  protected:
    void SetUp() override {
        AddressModuleTest::SetUp();
        display.suspend = [this] { calls.push_back("suspend"); };
        display.resume = [this] { calls.push_back("resume"); };
    }

    // The sources are UTF-8; the table holds Windows-1252.
    void seed(std::vector<testsupport::Entry> entries) {
        const auto codePage = [](const std::string& text) {
            return QString::fromStdString(text).toLatin1().toStdString();
        };
        for (testsupport::Entry& entry : entries) {
            entry.name = codePage(entry.name);
            entry.memo = codePage(entry.memo);
        }
        AddressModuleTest::seed(entries);
    }

    // The main window asks first (clearing nameOnlySearch), then hands over the text and the memo
    // box.
    SearchOutcome find(const QString& text, bool includeMemo) {
        state.nameOnlySearch = false;
        calls.clear();
        return module->search.search(text, includeMemo, display);
    }

    // The names the grid would list, in name order.
    QStringList listed() {
        QStringList names;
        for (int row = 0; row < table().visibleCount(); ++row)
            names << table().fieldTextAt(row, QString::fromLatin1(store::kNameField));
        return names;
    }

    QString currentName() { return table().fieldByName("NAME").asString(); }

    store::SearchDisplay display;
    std::vector<std::string> calls;
};

const testsupport::Entry kAnna{"Anna Smith", "12 High Street\r\nLondon"};
const testsupport::Entry kBob{"Bob Jones", "Phone: 555-0199"};

TEST_F(Search, NameAndMemoSearchKeepsEntriesWithTheTextInTheName) {
    seed({kBob, kAnna});
    open();
    EXPECT_EQ(find("smi", true), SearchOutcome::Filtered);
    EXPECT_EQ(listed(), QStringList{"Anna Smith"});
    EXPECT_EQ(currentName(), "Anna Smith");
    EXPECT_EQ(state.searchText, "SMI");
    EXPECT_FALSE(state.nameOnlySearch);
    EXPECT_TRUE(table().filtered());
    EXPECT_TRUE(table().filter().isEmpty());
    EXPECT_TRUE(module->lookupTable.active());
    EXPECT_TRUE(prompter.records().empty());
    // The grid is away and not painting while the filter is applied.
    EXPECT_EQ(calls, (std::vector<std::string>{"suspend", "resume"}));
}

TEST_F(Search, MemoTextIsFoundOnlyWhenTheMemoIsSearched) {
    seed({kAnna, kBob});
    open();
    EXPECT_EQ(find("555", true), SearchOutcome::Filtered);
    EXPECT_EQ(listed(), QStringList{"Bob Jones"});

    EXPECT_EQ(find("555", false), SearchOutcome::NoMatch);
    EXPECT_EQ(prompter.texts(), std::vector<QString>{"Sorry, no records match"});
    EXPECT_FALSE(table().filtered());
    EXPECT_EQ(listed(), (QStringList{"Anna Smith", "Bob Jones"}));
    EXPECT_EQ(currentName(), "Anna Smith");
    EXPECT_TRUE(state.nameOnlySearch);
    EXPECT_EQ(table().filter(), "\"555\"$upper(Name)");
    EXPECT_EQ(calls, (std::vector<std::string>{"suspend", "resume"}));
}

TEST_F(Search, NameOnlySearchIsAnEngineExpression) {
    seed({kAnna, kBob, {"Jonas Bergman", "555"}});
    open();
    EXPECT_EQ(find("jon", false), SearchOutcome::Filtered);
    EXPECT_EQ(table().filter(), "\"JON\"$upper(Name)");
    EXPECT_EQ(listed(), (QStringList{"Bob Jones", "Jonas Bergman"}));
    // The engine counts what the expression passes.
    EXPECT_EQ(table().recordCount(), 2);
    EXPECT_FALSE(module->lookupTable.active());

    // A new search replaces the active one at once.
    EXPECT_EQ(find("berg", false), SearchOutcome::Filtered);
    EXPECT_EQ(listed(), QStringList{"Jonas Bergman"});
}

TEST_F(Search, OnlyAToZIgnoreCase) {
    seed({{"Renée Blanc", ""}, {"Bob", "café au lait"}, {"Carl", "CAFÉ NOIR"}, {"Edda", "e"}});
    open();
    EXPECT_EQ(find("é", true), SearchOutcome::Filtered);
    EXPECT_EQ(state.searchText, "é");
    EXPECT_EQ(listed(), (QStringList{"Bob", "Renée Blanc"}));
    EXPECT_EQ(find("É", true), SearchOutcome::Filtered);
    EXPECT_EQ(listed(), QStringList{"Carl"});
    EXPECT_EQ(find("fé", false), SearchOutcome::NoMatch);
    EXPECT_EQ(find("née", false), SearchOutcome::Filtered);
    EXPECT_EQ(listed(), QStringList{"Renée Blanc"});
    EXPECT_EQ(state.searchText, "NéE");
}

TEST_F(Search, ASearchThatFindsNothingAfterOneThatDidShowsTheWholeTable) {
    seed({kAnna, kBob});
    open();
    ASSERT_EQ(find("smi", true), SearchOutcome::Filtered);
    EXPECT_EQ(find("zzz", true), SearchOutcome::NoMatch);
    EXPECT_FALSE(table().filtered());
    EXPECT_EQ(listed(), (QStringList{"Anna Smith", "Bob Jones"}));
    EXPECT_EQ(state.searchText, "ZZZ");
    // Held open by the memo search also when it found nothing.
    EXPECT_TRUE(module->lookupTable.active());

    module->search.cancel();
    EXPECT_FALSE(table().filtered());
    EXPECT_FALSE(module->lookupTable.active());
    EXPECT_EQ(listed(), (QStringList{"Anna Smith", "Bob Jones"}));
}

TEST_F(Search, SwitchingOrdersKeepsTheFilter) {
    seed({{"Zoe Fax", "555"}, kAnna, kBob});
    open();
    ASSERT_EQ(find("555", true), SearchOutcome::Filtered);
    table().setIndexName(QString());
    EXPECT_EQ(listed(), (QStringList{"Zoe Fax", "Bob Jones"}));
    table().setIndexName(QStringLiteral("ADDRESS"));
    EXPECT_EQ(listed(), (QStringList{"Bob Jones", "Zoe Fax"}));
}

TEST_F(Search, CancelWidensTheListAndKeepsTheTextModeAndExpression) {
    seed({kAnna, kBob});
    open();
    ASSERT_EQ(find("jones", false), SearchOutcome::Filtered);
    module->search.cancel();
    EXPECT_FALSE(table().filtered());
    EXPECT_EQ(listed(), (QStringList{"Anna Smith", "Bob Jones"}));
    EXPECT_EQ(currentName(), "Anna Smith");
    EXPECT_EQ(state.searchText, "JONES");
    EXPECT_TRUE(state.nameOnlySearch);
    EXPECT_EQ(table().filter(), "\"JONES\"$upper(Name)");
}

TEST_F(Search, AnEmptyTextChangesNothing) {
    seed({kAnna, kBob});
    open();
    ASSERT_EQ(find("555", true), SearchOutcome::Filtered);
    EXPECT_EQ(find("", false), SearchOutcome::Unchanged);
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(table().filtered());
    EXPECT_EQ(listed(), QStringList{"Bob Jones"});
    EXPECT_EQ(state.searchText, "555");
}

// Two entries whose names differ only in case (a rename can make them): each is tested
// against its own memo, not against the memo of whichever comes first in name order.
TEST_F(Search, EachEntryIsTestedAgainstItsOwnMemo) {
    seed({{"SMITH", "nothing here"}, {"smith", "fax 555"}, {"Smith", "mobile 556"}});
    open();
    EXPECT_EQ(find("555", true), SearchOutcome::Filtered);
    EXPECT_EQ(listed(), QStringList{"smith"});
    EXPECT_EQ(find("nothing", true), SearchOutcome::Filtered);
    EXPECT_EQ(listed(), QStringList{"SMITH"});
    EXPECT_EQ(find("55", true), SearchOutcome::Filtered);
    EXPECT_EQ(listed(), (QStringList{"smith", "Smith"}));
}

TEST_F(Search, DoubleQuotesInTheTextAreSearchedForLikeAnyCharacter) {
    seed({{"Bob \"Bobby\" Jones", ""},
          {"Kit O'Hara [x] \"K\"", ""},
          {"Bobby Fields", "nick: \"bobby\""}});
    open();
    EXPECT_EQ(find("\"bobby\"", false), SearchOutcome::Filtered);
    EXPECT_EQ(state.searchText, "\"BOBBY\"");
    EXPECT_EQ(listed(), QStringList{"Bob \"Bobby\" Jones"});
    EXPECT_TRUE(prompter.records().empty());

    // All three kinds of quotes at once.
    EXPECT_EQ(find("o'hara [x] \"k\"", false), SearchOutcome::Filtered);
    EXPECT_EQ(listed(), QStringList{"Kit O'Hara [x] \"K\""});

    EXPECT_EQ(find("\"bobby\"", true), SearchOutcome::Filtered);
    EXPECT_EQ(listed(), (QStringList{"Bob \"Bobby\" Jones", "Bobby Fields"}));

    // A lone quote that matches nothing leaves an ordinary unfiltered table behind.
    EXPECT_EQ(find("\"zz", false), SearchOutcome::NoMatch);
    EXPECT_FALSE(table().filtered());
    EXPECT_EQ(listed().size(), 3);
}

TEST_F(Search, TextTheTableCannotHoldMatchesNothing) {
    seed({kAnna, kBob});
    open();
    ASSERT_EQ(find("smi", false), SearchOutcome::Filtered);
    EXPECT_EQ(find("Łódź", false), SearchOutcome::NoMatch);
    EXPECT_FALSE(table().filtered());
    EXPECT_EQ(state.searchText, "ŁóDź");
    EXPECT_EQ(find("Łódź", true), SearchOutcome::NoMatch);
    EXPECT_FALSE(table().filtered());
    EXPECT_EQ(listed().size(), 2);
    EXPECT_EQ(prompter.texts(), std::vector<QString>(2, "Sorry, no records match"));
}

TEST_F(Search, TheMemoEndsAtItsFirstZeroByte) {
    seed({{"Anna", std::string("visible\0 555", 12)}, {"Bob", "555"}});
    open();
    EXPECT_EQ(find("555", true), SearchOutcome::Filtered);
    EXPECT_EQ(listed(), QStringList{"Bob"});
}

TEST_F(Search, SavingANewEntryDuringAMemoSearchKeepsTheFilterWorking) {
    seed({kAnna, kBob});
    open();
    ASSERT_EQ(find("555", true), SearchOutcome::Filtered);

    table().insert();
    table().fieldByName("NAME").setAsString("Carol White");
    table().fieldByName("INFO").setAsString("Work 555-0100");
    table().post();
    table().insert();
    table().fieldByName("NAME").setAsString("Dave Brown");
    table().post();
    // The duplicate check went through the open lookupTable and left it open.
    EXPECT_TRUE(module->lookupTable.active());
    EXPECT_EQ(listed(), (QStringList{"Bob Jones", "Carol White"}));

    // A duplicate is still caught while the search holds lookupTable.
    table().insert();
    table().fieldByName("NAME").setAsString("bob jones");
    EXPECT_THROW(table().post(), data::Abort);
    table().cancel();

    // Changing a memo takes the entry in or out.
    ASSERT_TRUE(table().findKey("BOB JONES"));
    table().edit();
    table().fieldByName("INFO").setAsString("moved away");
    table().post();
    EXPECT_EQ(listed(), QStringList{"Carol White"});
}

TEST_F(Search, EachMemoIsReadOncePerSearch) {
    std::vector<testsupport::Entry> entries;
    for (int i = 0; i < 50; ++i)
        entries.push_back({"Entry " + std::to_string(100 + i), "memo " + std::to_string(i)});
    entries.push_back({"Memo 4 in the name", "nothing"});
    seed(entries);
    open();
    const auto before = module->search.memosRead();
    EXPECT_EQ(find("memo 4", true), SearchOutcome::Filtered);
    EXPECT_EQ(listed().size(), 12);  // memo 4, memo 40 to 49 and the name
    // The entry whose name holds the text needs no memo.
    EXPECT_EQ(module->search.memosRead() - before, 50u);

    // The grid lists the rows again after a change: no memo is read again but the changed one.
    const auto afterSearch = module->search.memosRead();
    table().refresh();
    EXPECT_EQ(listed().size(), 12);
    EXPECT_EQ(module->search.memosRead(), afterSearch);
    ASSERT_TRUE(table().findKey("ENTRY 104"));
    table().edit();
    table().fieldByName("INFO").setAsString("forgotten");
    table().post();
    EXPECT_EQ(listed().size(), 11);
    EXPECT_EQ(module->search.memosRead() - afterSearch, 1u);

    // A new text tests every memo afresh.
    EXPECT_EQ(find("memo 1", true), SearchOutcome::Filtered);
    EXPECT_EQ(module->search.memosRead() - afterSearch, 1u + 51u);
}

TEST_F(Search, SearchingWhileANewEntryIsRefusedChangesNothing) {
    seed({kAnna, kBob});
    open();
    table().insert();
    table().fieldByName("NAME").setAsString("   ");
    EXPECT_THROW(find("smi", true), data::Abort);
    EXPECT_EQ(prompter.texts(),
              std::vector<QString>{"Name is the key field, it must NOT be blank"});
    EXPECT_EQ(table().state(), data::DataSetState::Insert);
    EXPECT_TRUE(state.searchText.isEmpty());
    EXPECT_FALSE(table().filtered());
    EXPECT_TRUE(calls.empty());

    // Given a name, the entry is saved first and the search goes on.
    table().fieldByName("NAME").setAsString("Sam Smithers");
    EXPECT_EQ(find("smi", true), SearchOutcome::Filtered);
    EXPECT_EQ(listed(), (QStringList{"Anna Smith", "Sam Smithers"}));
}

TEST_F(Search, AMemoThatCannotBeReadEndsTheSearchWithTheTableWhole) {
    seed({kAnna, kBob});
    // Cut the memo file back to its header: every memo pointer now lies beyond its end.
    const auto memoPath = dir.path() / store::kMemoFileName;
    std::filesystem::resize_file(memoPath, 512);
    open();
    EXPECT_THROW(find("555", true), xbase::Error);
    EXPECT_EQ(calls, (std::vector<std::string>{"suspend", "resume"}));
    EXPECT_FALSE(table().filtered());
    EXPECT_EQ(listed().size(), 2);
    // Names alone still search.
    EXPECT_EQ(find("jones", false), SearchOutcome::Filtered);
    EXPECT_EQ(listed(), QStringList{"Bob Jones"});
}

TEST(SearchText, NameOnlyFilterQuotesWhatItMust) {
    EXPECT_EQ(store::nameOnlyFilter("SMI"), "\"SMI\"$upper(Name)");
    EXPECT_EQ(store::nameOnlyFilter("A\"B"), "'A\"B'$upper(Name)");
    const std::string all = store::nameOnlyFilter("'\"]");
    EXPECT_EQ(all.front(), '(');
    EXPECT_NE(all.find(")$upper(Name)"), std::string::npos);
}

}  // namespace
