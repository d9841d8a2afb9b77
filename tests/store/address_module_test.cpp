// The address data module: the save checks and the date stamp, the running entry count,
// the focus hand-back, and the pack that always returns the table to shared use.

#include <QDate>

#include <memory>

#include <gtest/gtest.h>

#include <xbase/types.h>

#include <platform/fakes.h>
#include <xbase/error.h>

#include <store/address_book.h>
#include <store/address_module.h>
#include <store/address_rules.h>
#include "module_fixture.h"
#include "table_holder.h"
#include "temp_dir.h"
#include "test_paths.h"

namespace {

using data::DataSetState;
using platform::MessageKind;

using testsupport::qpath;

class AddressModule : public testsupport::AddressModuleTest {
  protected:
    void SetUp() override {
        AddressModuleTest::SetUp();
        module->focusNameGrid = [this] { ++focusReturns; };
    }

    void setName(const QString& name) { table().fieldByName("NAME").setAsString(name); }

    // Inserts an entry through the data set; answers whether the save went through.
    bool insert(const QString& name) {
        table().insert();
        setName(name);
        return post();
    }

    bool post() {
        try {
            table().post();
            return true;
        } catch (const data::Abort&) {
            return false;
        }
    }

    bool findName(const QString& name) { return table().findKey(name.toUpper()); }

    uint32_t recordsInFile() { return testsupport::recordsInFile(dir.path()); }

    int focusReturns = 0;
};

TEST_F(AddressModule, StartsClosedWithTheDeclaredSettings) {
    EXPECT_FALSE(table().active());
    EXPECT_FALSE(module->lookupTable.active());
    EXPECT_FALSE(module->reportTable.active());
    EXPECT_EQ(module->addressSource.dataSet(), &table());
    EXPECT_FALSE(module->addressSource.autoEdit());
    EXPECT_TRUE(module->reportTable.exclusive());
    EXPECT_FALSE(table().exclusive());
    EXPECT_EQ(module->lookupTable.databaseName(), qpath(dir.path()));
    EXPECT_EQ(module->reportTable.databaseName(), qpath(dir.path()));
    EXPECT_EQ(module->engineSettings.formatDate(QDate(1999, 12, 31)), "12/31/99");
    EXPECT_EQ(module->engineSettings.formatDate(QDate()), "");
}

TEST_F(AddressModule, DuplicateNewNameIsRefusedWithTheNameAsTyped) {
    seed({"SMITH"});
    open();
    EXPECT_FALSE(insert("smith"));
    ASSERT_EQ(prompter.records().size(), 1u);
    EXPECT_EQ(prompter.records()[0].prompt.kind, MessageKind::Error);
    EXPECT_EQ(prompter.records()[0].prompt.text, "Entry already exists for: smith");
    // Still inserting, so the name can be corrected; nothing reached the file.
    EXPECT_EQ(table().state(), DataSetState::Insert);
    EXPECT_EQ(recordsInFile(), 1u);
    // The lookup cursor is left as it was found: closed.
    EXPECT_FALSE(module->lookupTable.active());

    setName("Smythe");
    EXPECT_TRUE(post());
    EXPECT_EQ(recordsInFile(), 2u);
}

TEST_F(AddressModule, DuplicateCheckComparesTheWholeKey) {
    seed({"Smithson", "Jones"});
    open();
    EXPECT_TRUE(insert("Smith"));     // a prefix of an existing name is no duplicate
    EXPECT_FALSE(insert("JONES  "));  // trailing blanks and case do not make a new name
    table().cancel();
    EXPECT_TRUE(insert(" Jones"));  // leading blanks do
    EXPECT_EQ(prompter.texts(), std::vector<QString>{"Entry already exists for: JONES"});
}

TEST_F(AddressModule, RenamingOntoAnotherEntryIsNotChecked) {
    seed({"Adams", "Baker"});
    open();
    ASSERT_TRUE(findName("Baker"));
    table().edit();
    setName("Adams");
    EXPECT_TRUE(post());
    EXPECT_TRUE(prompter.records().empty());
}

TEST_F(AddressModule, BlankNamesAreRefusedAndDuplicatesAreNamedFirst) {
    open();
    EXPECT_FALSE(insert("   "));
    EXPECT_EQ(prompter.texts(),
              std::vector<QString>{"Name is the key field, it must NOT be blank"});
    table().cancel();

    seed({""});
    EXPECT_FALSE(insert(""));
    EXPECT_EQ(prompter.texts().back(), "Entry already exists for: ");

    // An edit that blanks the name is refused too.
    table().cancel();
    seed({"Cole"});
    ASSERT_TRUE(findName("Cole"));
    table().edit();
    setName("");
    EXPECT_FALSE(post());
    EXPECT_EQ(prompter.texts().back(), "Name is the key field, it must NOT be blank");
    EXPECT_EQ(table().state(), DataSetState::Edit);
}

TEST_F(AddressModule, EverySaveStampsTodaysDate) {
    const xbase::FixedToday today({2031, 12, 31});
    seed({{"Adams", "", xbase::Date{2001, 2, 3}}});
    open();
    ASSERT_TRUE(findName("Adams"));
    EXPECT_EQ(table().fieldByName("LASTDATE").asDate(), QDate(2001, 2, 3));
    table().edit();
    table().fieldByName("INFO").setAsString("Phone 555-1234");
    ASSERT_TRUE(post());
    EXPECT_EQ(table().fieldByName("LASTDATE").asDate(), QDate(2031, 12, 31));

    ASSERT_TRUE(insert("Baker"));
    ASSERT_TRUE(findName("Baker"));
    EXPECT_EQ(table().fieldByName("LASTDATE").asDate(), QDate(2031, 12, 31));
}

TEST_F(AddressModule, EntryCountFollowsInsertCancelPostAndDelete) {
    seed({"Adams", "Baker"});
    open();
    ASSERT_EQ(state.entryCount, 2);

    table().insert();
    EXPECT_EQ(state.entryCount, 3);  // counted while the insertion is in progress
    table().cancel();
    EXPECT_EQ(state.entryCount, 2);

    // Cancelling an edit leaves the count alone.
    table().edit();
    table().cancel();
    EXPECT_EQ(state.entryCount, 2);

    // Refused, then cancelled: back where it was.
    EXPECT_FALSE(insert("adams"));
    table().cancel();
    EXPECT_EQ(state.entryCount, 2);

    ASSERT_TRUE(insert("Cole"));
    EXPECT_EQ(state.entryCount, 3);
    ASSERT_TRUE(findName("Cole"));
    table().deleteRecord();
    EXPECT_EQ(state.entryCount, 2);
    EXPECT_EQ(table().recordCount(), 2);
}

TEST_F(AddressModule, FocusReturnsToTheGridAfterEachChange) {
    seed({"Adams"});
    open();
    table().insert();
    EXPECT_EQ(focusReturns, 1);
    setName("Baker");
    ASSERT_TRUE(post());
    EXPECT_EQ(focusReturns, 2);
    table().edit();
    table().cancel();
    EXPECT_EQ(focusReturns, 3);
    table().deleteRecord();
    EXPECT_EQ(focusReturns, 4);
}

TEST_F(AddressModule, DuplicateCheckLeavesAnOpenLookupCursorOpen) {
    seed({"Adams"});
    open();
    // A memo search holds lookupTable open; the check must not close it under the search.
    module->lookupTable.open();
    EXPECT_FALSE(insert("ADAMS"));
    table().cancel();
    EXPECT_TRUE(insert("Baker"));
    EXPECT_TRUE(module->lookupTable.active());
    // And it still reads the table, new entry included.
    EXPECT_TRUE(module->lookupTable.findKey("BAKER"));
}

TEST_F(AddressModule, TheMainTableWritesAlsoWhenTheLookupCursorOpenedFirst) {
    seed({"Adams"});
    module->lookupTable.open();
    open();
    EXPECT_TRUE(insert("Baker"));
    EXPECT_EQ(recordsInFile(), 2u);
}

TEST_F(AddressModule, PackRemovesDeletedEntriesAndReturnsToSharedUse) {
    seed({"Cole", "Adams", "Baker"});
    open();
    ASSERT_TRUE(findName("Baker"));
    table().deleteRecord();
    ASSERT_EQ(recordsInFile(), 3u);

    module->packAddressTable();
    EXPECT_EQ(recordsInFile(), 2u);
    EXPECT_TRUE(table().active());
    EXPECT_FALSE(table().exclusive());
    EXPECT_EQ(table().cursor().shareMode(), xbase::ShareMode::Shared);
    EXPECT_FALSE(table().controlsDisabled());
    EXPECT_EQ(table().indexName().toUpper(), "ADDRESS");
    EXPECT_EQ(table().fieldByName("NAME").asString(), "Adams");  // first in name order
}

TEST_F(AddressModule, PackKeepsNaturalOrderAndDiscardsAnEditInProgress) {
    seed({"Cole", "Adams"});
    open();
    table().setIndexName("");
    table().insert();
    setName("Unsaved");

    module->packAddressTable();
    EXPECT_EQ(table().state(), DataSetState::Browse);
    EXPECT_EQ(table().indexName(), "");
    EXPECT_EQ(table().fieldByName("NAME").asString(), "Cole");  // first in entry order
    EXPECT_EQ(recordsInFile(), 2u);
}

TEST_F(AddressModule, FailedPackStillReturnsTheTableToSharedUse) {
    seed({"Adams"});
    // Forked before this process opens the table, so the child shares none of its files.
    testsupport::TableHolder other(dir.path() / store::kTableFileName, xbase::ShareMode::Shared);
    ASSERT_TRUE(other.ok());
    open();

    EXPECT_THROW(module->packAddressTable(), xbase::Error);
    EXPECT_TRUE(table().active());
    EXPECT_FALSE(table().exclusive());
    EXPECT_FALSE(table().controlsDisabled());
    EXPECT_EQ(table().fieldByName("NAME").asString(), "Adams");
}

}  // namespace
