// The save rules of the address table and the address book driven without a window.

#include <gtest/gtest.h>

#include <xbase/error.h>
#include <xbase/inspect.h>

#include <store/address_book.h>
#include <store/address_rules.h>
#include "temp_dir.h"

namespace {

TEST(SaveRules, DuplicateCheckOnlyForNewEntriesAndBeforeTheBlankCheck) {
    int asked = 0;
    auto exists = [&](std::string_view name) {
        ++asked;
        return store::upperAscii(name) == "SMITH" || store::isBlankName(name);
    };
    EXPECT_EQ(store::checkSave(true, "smith", exists), "Entry already exists for: smith");
    EXPECT_EQ(store::checkSave(false, "smith", exists), "");  // a rename is not tested
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(store::checkSave(true, "   ", exists), "Entry already exists for:    ");
    EXPECT_EQ(store::checkSave(false, " \t\r\n", exists),
              "Name is the key field, it must NOT be blank");
    EXPECT_EQ(store::checkSave(true, "Smithson", exists), "");
}

TEST(SaveRules, UpperCaseFoldsOnlyAsciiLetters) {
    EXPECT_EQ(store::upperAscii("m\xfcller-o'brien 42"), "M\xfcLLER-O'BRIEN 42");
    EXPECT_TRUE(store::isBlankName(std::string("\x01 \x1f", 3)));
    EXPECT_FALSE(store::isBlankName(" \xa0"));
}

class AddressBookTest : public ::testing::Test {
  protected:
    void SetUp() override { store::AddressBook::create(dir.path()); }
    testsupport::TempDir dir;
};

TEST_F(AddressBookTest, SeekComparesWholeNamesInUpperCase) {
    store::AddressBook book(dir.path());
    book.add("SMITH", "first");
    book.add("Smithson", "");  // not a duplicate of SMITH
    try {
        book.add("smith", "second");
        ADD_FAILURE() << "duplicate accepted";
    } catch (const store::RuleViolation& e) {
        EXPECT_STREQ(e.what(), "Entry already exists for: smith");
    }
    EXPECT_THROW(book.add("smith   ", ""), store::RuleViolation);  // trailing blanks do not count
    EXPECT_NO_THROW(book.add(" smith", ""));                       // leading ones do
    EXPECT_THROW(book.add("", ""), store::RuleViolation);
    EXPECT_EQ(book.entries().size(), 3u);
}

TEST_F(AddressBookTest, RenameIsNotCheckedForDuplicatesAndEverySaveIsDated) {
    store::AddressBook book(dir.path());
    book.add("Adams", "");
    book.add("Baker", "");
    book.rename("Baker", "Adams");  // allowed: only new entries are checked
    const auto entries = book.entries();
    ASSERT_EQ(entries.size(), 2u);
    for (const auto& e : entries) {
        EXPECT_EQ(e.name, "Adams");
        EXPECT_EQ(e.lastDate, xbase::Date::today());
    }
    EXPECT_THROW(book.rename("Adams", "  "), store::RuleViolation);
    EXPECT_THROW(book.rename("Nobody", "X"), store::RuleViolation);
}

TEST_F(AddressBookTest, ActsOnTheFirstEntryOfExactlyThatName) {
    store::AddressBook book(dir.path());
    book.add("SMITH", "upper");
    {
        // A second, lower-case Smith can only come from a rename.
        book.add("Other", "lower");
        book.rename("Other", "smith");
    }
    book.setMemo("smith", "changed");
    book.remove("SMITH");
    const auto entries = book.entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "smith");
    EXPECT_EQ(entries[0].memo, "changed");
}

TEST(Generate, MakesASoundBookOfRealisticEntries) {
    testsupport::TempDir dir;
    store::GenerateOptions options;
    options.count = 500;
    store::generateAddressBook(dir.path(), options);
    store::AddressBook book(dir.path());
    const auto entries = book.entries();
    ASSERT_EQ(entries.size(), 500u);
    for (size_t i = 1; i < entries.size(); ++i)
        EXPECT_LE(store::upperAscii(entries[i - 1].name), store::upperAscii(entries[i].name));
    size_t withPhone = 0, withMail = 0, withWeb = 0;
    for (const auto& e : entries) {
        withPhone += e.memo.find('-') != std::string::npos;
        withMail += e.memo.find('@') != std::string::npos;
        withWeb += e.memo.find("www.") != std::string::npos;
        EXPECT_LE(e.name.size(), 30u);
    }
    EXPECT_EQ(withPhone, 500u);
    EXPECT_EQ(withMail, 500u);
    EXPECT_EQ(withWeb, 500u);
    EXPECT_TRUE(xbase::checkTable(store::AddressBook::tablePath(dir.path())).ok());
    EXPECT_EQ(store::generatedEntry(1, 7).name, store::generatedEntry(1, 7).name);
}

}  // namespace
