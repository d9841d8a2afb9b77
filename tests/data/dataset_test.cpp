// The data set: states and events, fields in the table's code page, the order vector,
// bookmarks and the display control of bound controls.
#include <QCoreApplication>
#include <QSignalSpy>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <data/dataset.h>
#include <data/table_work.h>
#include <xbase/error.h>

#include "code_page.h"
#include "data_fixture.h"
#include "test_paths.h"

namespace {

using data::DataSetState;
using datatest::DataSetTest;

const QString kName = QStringLiteral("NAME");
const QString kInfo = QStringLiteral("INFO");

// ---------------------------------------------------------------- open and settings

TEST_F(DataSetTest, OpensInIndexOrderWithTheFirstRecordCurrent) {
    openTable({"Cole", "adams", "Baker"}, QStringLiteral("address"));
    EXPECT_EQ(table.state(), DataSetState::Browse);
    EXPECT_TRUE(table.bof());
    EXPECT_EQ(name(), "adams");
    EXPECT_EQ(rows(), QStringList({"adams", "Baker", "Cole"}));
    EXPECT_EQ(table.keyLength(), 30);

    // Folder, table and sharing are fixed while open; the order is not, and the
    // current record stays current across the switch.
    EXPECT_THROW(table.setDatabaseName(QStringLiteral("/elsewhere")), xbase::Error);
    EXPECT_THROW(table.setExclusive(true), xbase::Error);
    table.next();
    table.setIndexName(QString());
    EXPECT_EQ(name(), "Baker");
    EXPECT_EQ(rows(), QStringList({"Cole", "adams", "Baker"}));
    EXPECT_EQ(table.currentRow(), 2);

    table.close();
    EXPECT_EQ(table.state(), DataSetState::Inactive);
    EXPECT_EQ(table.visibleCount(), 0);
    EXPECT_EQ(table.currentRow(), -1);
}

TEST_F(DataSetTest, FieldsStayValidAcrossCloseAndOpen) {
    openTable({"Adams"});
    data::Field& field = table.fieldByName(QStringLiteral("name"));
    EXPECT_EQ(field.dataType(), 'C');
    EXPECT_EQ(field.size(), 30);
    table.close();
    table.open();
    EXPECT_EQ(&table.fieldByName(kName), &field);
    EXPECT_EQ(field.asString(), "Adams");
    EXPECT_EQ(table.findField(QStringLiteral("PHONE")), nullptr);
    try {
        table.fieldByName(QStringLiteral("PHONE"));
        FAIL() << "an unknown field was found";
    } catch (const xbase::Error& error) {
        EXPECT_EQ(error.kind(), xbase::ErrorKind::NotFound);
    }
}

// ---------------------------------------------------------------- states and events

class EventLogTest : public DataSetTest {
  protected:
    void SetUp() override {
        table.afterInsert = [this](data::DataSet&) { log.push_back("afterInsert"); };
        table.beforePost = [this](data::DataSet& set) {
            log.push_back("beforePost " + set.fieldByName(kName).asString().toStdString());
            if (refuse) throw data::Abort{};
        };
        table.afterPost = [this](data::DataSet& set) {
            log.push_back(set.lastEditState() == DataSetState::Insert ? "afterPost insert"
                                                                      : "afterPost edit");
        };
        table.afterCancel = [this](data::DataSet& set) {
            log.push_back(set.lastEditState() == DataSetState::Insert ? "afterCancel insert"
                                                                      : "afterCancel edit");
        };
        table.afterDelete = [this](data::DataSet&) { log.push_back("afterDelete"); };
    }

    std::vector<std::string> take() { return std::exchange(log, {}); }

    std::vector<std::string> log;
    bool refuse = false;
};

TEST_F(EventLogTest, EveryInsertSaveCancelAndDeleteRunsItsEvent) {
    openTable({"Adams", "Baker"});
    add(QStringLiteral("Cole"));
    EXPECT_EQ(take(),
              (std::vector<std::string>{"afterInsert", "beforePost Cole", "afterPost insert"}));
    EXPECT_EQ(name(), "Cole");

    table.edit();
    table.fieldByName(kName).setAsString(QStringLiteral("Colette"));
    table.cancel();
    EXPECT_EQ(take(), (std::vector<std::string>{"afterCancel edit"}));
    EXPECT_EQ(name(), "Cole");

    table.insert();
    table.cancel();
    EXPECT_EQ(take(), (std::vector<std::string>{"afterInsert", "afterCancel insert"}));

    table.deleteRecord();
    EXPECT_EQ(take(), (std::vector<std::string>{"afterDelete"}));
    EXPECT_EQ(rows(), QStringList({"Adams", "Baker"}));

    // Delete while inserting abandons the new record; closing cancels too.
    table.insert();
    table.deleteRecord();
    table.edit();
    table.close();
    EXPECT_EQ(take(),
              (std::vector<std::string>{"afterInsert", "afterCancel insert", "afterCancel edit"}));
}

TEST_F(EventLogTest, MovingPostsAChangedRecordAndDropsAnUntouchedOne) {
    openTable({"Adams", "Baker", "Cole"});
    table.insert();
    table.fieldByName(kName).setAsString(QStringLiteral("Dean"));
    table.first();
    EXPECT_EQ(take(),
              (std::vector<std::string>{"afterInsert", "beforePost Dean", "afterPost insert"}));
    EXPECT_EQ(name(), "Adams");
    EXPECT_EQ(rows(), QStringList({"Adams", "Baker", "Cole", "Dean"}));

    table.insert();
    table.last();
    EXPECT_EQ(take(), (std::vector<std::string>{"afterInsert", "afterCancel insert"}));
    EXPECT_EQ(name(), "Dean");
    EXPECT_EQ(table.visibleCount(), 4);

    table.edit();
    table.fieldByName(kInfo).setAsString(QStringLiteral("new memo"));
    ASSERT_TRUE(table.gotoBookmark(table.visibleAt(0)));
    EXPECT_EQ(take(), (std::vector<std::string>{"beforePost Dean", "afterPost edit"}));
    table.last();
    EXPECT_EQ(table.fieldByName(kInfo).asString(), "new memo");
}

TEST_F(EventLogTest, ARefusedSaveKeepsTheEditAndWritesNothing) {
    openTable({"Adams"});
    refuse = true;
    table.insert();
    table.fieldByName(kName).setAsString(QStringLiteral("Baker"));
    EXPECT_THROW(table.post(), data::Abort);
    EXPECT_EQ(table.state(), DataSetState::Insert);
    EXPECT_THROW(table.next(), data::Abort);  // a move ends the edit only through a save
    EXPECT_EQ(table.state(), DataSetState::Insert);
    EXPECT_EQ(name(), "Baker");

    xbase::Cursor other;
    other.open(folder / "ADDRESS.DBF");
    EXPECT_EQ(other.recordCount(), 1u);

    refuse = false;
    table.post();
    EXPECT_EQ(table.state(), DataSetState::Browse);
    EXPECT_EQ(other.recordCount(), 2u);
    EXPECT_EQ(take().back(), "afterPost insert");
}

TEST_F(DataSetTest, FieldsAreWrittenOnlyWhileEditing) {
    openTable({"Adams"});
    try {
        table.fieldByName(kName).setAsString(QStringLiteral("Zed"));
        FAIL() << "a browsing record took a change";
    } catch (const xbase::Error& error) {
        EXPECT_EQ(error.number(), xbase::code::BadState);
    }
    EXPECT_FALSE(table.modified());
    table.edit();
    EXPECT_FALSE(table.modified());
    table.fieldByName(kName).setAsString(QStringLiteral("Zed"));
    EXPECT_TRUE(table.modified());
    table.post();
    EXPECT_FALSE(table.modified());
    EXPECT_EQ(name(), "Zed");
}

TEST_F(DataSetTest, ReadOnlySetRefusesToEdit) {
    datatest::writeNames(folder.path(), {"Adams"});
    table.setDatabaseName(testsupport::qpath(folder.path()));
    table.setTableName(QStringLiteral("ADDRESS"));  // ".dbf" is added
    table.setReadOnly(true);
    table.open();
    EXPECT_FALSE(table.canModify());
    EXPECT_THROW(table.edit(), xbase::Error);
    EXPECT_THROW(table.insert(), xbase::Error);
    EXPECT_EQ(table.state(), DataSetState::Browse);
}

// ---------------------------------------------------------------- text and code pages

TEST(CodePageText, ARefusalDoesNotStick) {
    data::CodePageText text(1252);
    EXPECT_FALSE(text.canHold(QString::fromUtf8("Łódź")));
    EXPECT_TRUE(text.canHold(QString::fromUtf8("Zoë €uro")));
}

TEST_F(DataSetTest, TextTheCodePageCannotHoldIsRefusedByName) {
    openTable({"Adams"});
    table.edit();
    data::Field& field = table.fieldByName(kName);
    try {
        field.setAsString(QString::fromUtf8("Zoë → 😀 →"));
        FAIL() << "unencodable text was stored";
    } catch (const xbase::Error& error) {
        EXPECT_EQ(error.kind(), xbase::ErrorKind::InvalidArgument);
        EXPECT_EQ(error.number(), data::kUnencodableText);
        EXPECT_EQ(QString::fromUtf8(error.what()),
                  QString::fromUtf8("The name contains characters that cannot be stored in this "
                                    "address book (code page 1252): \"→\", \"😀\""));
    }
    EXPECT_EQ(field.asString(), "Adams");
    EXPECT_FALSE(table.modified());
    EXPECT_THROW(field.validate(QString::fromUtf8("ｆｕｌｌ")), xbase::Error);  // no look-alikes

    try {
        table.fieldByName(kInfo).setAsString(QString::fromUtf8("Ἀθῆναι"));
        FAIL();
    } catch (const xbase::Error& error) {
        EXPECT_TRUE(QString::fromUtf8(error.what()).startsWith("The memo contains"));
    }

    // What Windows-1252 has is stored as its single bytes.
    field.setAsString(QString::fromUtf8("Zoë €uro"));
    table.post();
    EXPECT_EQ(table.cursor().rawText(table.cursor().requireField("NAME")).substr(0, 8),
              std::string("Zo\xEB \x80uro"));
    EXPECT_EQ(name(), QString::fromUtf8("Zoë €uro"));
    EXPECT_EQ(table.fromUnicode(QString::fromUtf8("é")), "\xE9");
    EXPECT_EQ(table.toUnicode("\xE9"), QString::fromUtf8("é"));
}

TEST_F(DataSetTest, TablesInADosCodePageConvertThroughIt) {
    xbase::CreateOptions dos;
    dos.codePageMark = 0x01;  // code page 437
    xbase::createTable(folder / "ADDRESS.DBF", xbase::parseFieldList("Name,Char,30;"), dos);
    table.setDatabaseName(testsupport::qpath(folder.path()));
    table.setTableName(QStringLiteral("address.dbf"));
    table.open();
    EXPECT_EQ(table.codePage(), 437);
    add(QString::fromUtf8("Müller ½"));
    EXPECT_EQ(table.cursor().text(0), "M\x81ller \xAB");
    EXPECT_EQ(name(), QString::fromUtf8("Müller ½"));
    table.edit();
    try {
        table.fieldByName(kName).setAsString(QString::fromUtf8("€"));
        FAIL();
    } catch (const xbase::Error& error) {
        EXPECT_NE(std::string(error.what()).find("(code page 437): \"€\""), std::string::npos);
    }
}

TEST_F(DataSetTest, DatesReadAndWriteAsMonthDayYear) {
    openTable({"Adams"});
    data::Field& date = table.fieldByName(QStringLiteral("LASTDATE"));
    EXPECT_TRUE(date.isNull());
    EXPECT_TRUE(date.asString().isEmpty());
    table.edit();
    date.setAsString(QStringLiteral("12/31/1999"));
    EXPECT_EQ(date.asDate(), QDate(1999, 12, 31));
    EXPECT_EQ(date.asString(), "12/31/99");
    EXPECT_THROW(date.setAsString(QStringLiteral("02/30/24")), xbase::Error);
    date.setAsDate(QDate(2024, 2, 29));
    table.post();
    EXPECT_EQ(table.fieldTextAt(0, QStringLiteral("LastDate")), "02/29/24");
    EXPECT_FALSE(date.isNull());
}

// ---------------------------------------------------------------- the order vector

TEST_F(DataSetTest, RowsFollowInsertsDeletesAndFilters) {
    openTable({"Dean", "Adams", "Cole"});
    ASSERT_EQ(rows(), QStringList({"Adams", "Cole", "Dean"}));

    table.next();  // Cole
    table.insert();
    // The new record shows where it was started until it is saved.
    EXPECT_EQ(table.visibleCount(), 4);
    EXPECT_EQ(table.currentRow(), 1);
    EXPECT_FALSE(table.visibleAt(1).valid());
    EXPECT_EQ(table.rowOf(data::Bookmark{}), 1);
    table.fieldByName(kName).setAsString(QStringLiteral("Baker"));
    EXPECT_EQ(rows(), QStringList({"Adams", "Baker", "Cole", "Dean"}));
    table.post();
    EXPECT_EQ(rows(), QStringList({"Adams", "Baker", "Cole", "Dean"}));
    EXPECT_EQ(table.currentRow(), 1);

    table.append();
    EXPECT_EQ(table.currentRow(), 4);
    table.fieldByName(kName).setAsString(QStringLiteral("Abel"));
    table.post();
    EXPECT_EQ(rows(), QStringList({"Abel", "Adams", "Baker", "Cole", "Dean"}));
    EXPECT_EQ(table.currentRow(), 0);

    ASSERT_TRUE(table.gotoBookmark(table.visibleAt(3)));
    table.deleteRecord();
    EXPECT_EQ(rows(), QStringList({"Abel", "Adams", "Baker", "Dean"}));
    EXPECT_EQ(name(), "Dean");
    EXPECT_EQ(table.currentRow(), 3);

    table.setFilter(QStringLiteral("\"A\" $ upper(Name)"));
    EXPECT_EQ(rows(), QStringList({"Abel", "Adams", "Baker", "Dean"}));  // not yet filtered
    table.setFiltered(true);
    EXPECT_EQ(rows(), QStringList({"Abel", "Adams", "Baker", "Dean"}));
    table.setFilter(QStringLiteral("\"D\" $ upper(Name)"));
    EXPECT_EQ(rows(), QStringList({"Adams", "Dean"}));
    EXPECT_EQ(name(), "Adams");
    EXPECT_EQ(table.recordCount(), 2);
    EXPECT_THROW(table.setFilter(QStringLiteral("upper(Name")), xbase::Error);
    EXPECT_EQ(table.filter(), "\"D\" $ upper(Name)");
    EXPECT_EQ(rows(), QStringList({"Adams", "Dean"}));
    table.setFiltered(false);
    EXPECT_EQ(table.visibleCount(), 4);
}

TEST_F(DataSetTest, TheFilterEventSeesEachCandidateAndTheListIsBuiltOnlyAfterAChange) {
    openTable({"Adams", "Baker", "Cole", "Dean"});
    QStringList asked;
    table.onFilterRecord = [&](data::DataSet& set) {
        const QString candidate = set.fieldByName(kName).asString();
        asked << candidate;
        return candidate != "Baker";
    };
    table.setFiltered(true);
    asked.clear();
    EXPECT_EQ(rows(), QStringList({"Adams", "Cole", "Dean"}));
    EXPECT_EQ(asked, QStringList({"Adams", "Baker", "Cole", "Dean"}));
    EXPECT_EQ(table.recordCount(), 4);  // the count respects the expression only

    // Asking again, moving and reading rows use the vector as it is.
    asked.clear();
    rows();
    table.last();
    table.currentRow();
    table.visibleAt(1);
    const int askedWhileMoving = int(asked.size());
    rows();
    EXPECT_EQ(int(asked.size()), askedWhileMoving);

    // A save changes the table, so the list is built again, once (the save itself looks
    // whether the record it wrote is still visible).
    table.edit();
    table.fieldByName(kInfo).setAsString(QStringLiteral("changed"));
    asked.clear();
    table.post();
    rows();
    EXPECT_EQ(asked.size(), 4);
    asked.clear();
    table.setIndexName(QString());
    rows();
    EXPECT_EQ(asked.size(), 4);
}

TEST_F(DataSetTest, AListThatCannotBeMadeFailsTheSameWayUntilSomethingChanges) {
    openTable({"Adams", "Baker"});
    int asked = 0;
    table.onFilterRecord = [&](data::DataSet&) -> bool {
        ++asked;
        throw xbase::Error(xbase::ErrorKind::Corruption, xbase::code::BadMemo, "damaged");
    };
    EXPECT_THROW(table.setFiltered(true), xbase::Error);  // the first record is looked for
    EXPECT_TRUE(table.filtered());
    EXPECT_TRUE(table.cursor().filtered());
    asked = 0;
    EXPECT_THROW(table.visibleCount(), xbase::Error);
    EXPECT_THROW(table.visibleAt(0), xbase::Error);
    EXPECT_THROW(table.fieldTextAt(1, kName), xbase::Error);
    EXPECT_EQ(asked, 1);  // read once, not once per row
    table.onFilterRecord = nullptr;
    table.setFiltered(false);
    EXPECT_EQ(rows(), QStringList({"Adams", "Baker"}));
}

TEST_F(DataSetTest, LongMovesGoThroughTheOrder) {
    openTable({"A1", "A2", "A3", "A4", "A5", "A6"});
    table.moveBy(3);
    EXPECT_EQ(name(), "A4");
    table.moveBy(-2);
    EXPECT_EQ(name(), "A2");
    table.moveBy(100);
    EXPECT_EQ(name(), "A6");
    EXPECT_TRUE(table.eof());
    table.moveBy(-100);
    EXPECT_EQ(name(), "A1");
    EXPECT_TRUE(table.bof());
    table.moveBy(1);
    EXPECT_EQ(name(), "A2");
    EXPECT_FALSE(table.bof());
}

TEST_F(DataSetTest, AChangeByAnotherCursorReachesTheControlsLater) {
    openTable({"Adams", "Cole"});
    ASSERT_EQ(rows(), QStringList({"Adams", "Cole"}));  // what a grid showed
    QSignalSpy changed(&table, &data::DataSet::dataChanged);
    testsupport::writeEntries(folder.path(), {"Baker"});
    EXPECT_EQ(rows(), QStringList({"Adams", "Baker", "Cole"}));
    EXPECT_EQ(changed.count(), 0);  // not in the middle of whatever asked
    QCoreApplication::processEvents();
    EXPECT_EQ(changed.count(), 1);
}

// ---------------------------------------------------------------- bookmarks and keys

TEST_F(DataSetTest, BookmarksSurviveOrderAndFilterButNotAPack) {
    openTable({"Adams", "Baker", "Cole"});
    table.last();
    const data::Bookmark cole = table.bookmark();
    table.first();
    const data::Bookmark adams = table.bookmark();
    table.setIndexName(QString());
    ASSERT_TRUE(table.gotoBookmark(cole));
    EXPECT_EQ(name(), "Cole");
    EXPECT_TRUE(table.bookmarkValid(adams));

    ASSERT_TRUE(table.gotoBookmark(adams));
    table.deleteRecord();
    EXPECT_FALSE(table.bookmarkValid(adams));
    EXPECT_FALSE(table.gotoBookmark(adams));

    const quint64 epoch = table.bookmarkEpoch();
    table.close();
    table.setExclusive(true);
    table.open();
    EXPECT_NE(table.bookmarkEpoch(), epoch);
    const quint64 beforePack = table.bookmarkEpoch();
    table.cursor().pack();
    EXPECT_EQ(rows(), QStringList({"Baker", "Cole"}));
    EXPECT_NE(table.bookmarkEpoch(), beforePack);
}

TEST_F(DataSetTest, SeeksNeedAnIndexAndRefuseNothingSilently) {
    openTable({"Smith", "Smithson", "Jones"});
    EXPECT_TRUE(table.findKey(QStringLiteral("SMITHSON")));
    EXPECT_EQ(name(), "Smithson");
    EXPECT_TRUE(table.findKey(QStringLiteral("SMITH")));
    EXPECT_EQ(name(), "Smith");
    EXPECT_FALSE(table.findKey(QStringLiteral("SMI")));
    EXPECT_FALSE(table.findKey(QString::fromUtf8("SMITH→")));
    EXPECT_EQ(name(), "Smith");
    table.findNearest(QStringLiteral("K"));
    EXPECT_EQ(name(), "Smith");
    table.findNearest(QStringLiteral("Z"));
    EXPECT_EQ(name(), "Smithson");

    table.setIndexName(QString());
    try {
        table.findNearest(QStringLiteral("A"));
        FAIL();
    } catch (const xbase::Error& error) {
        EXPECT_STREQ(error.what(), "No parseable expressions in setting key fields");
    }
    EXPECT_THROW(table.findKey(QString::fromUtf8("→")), xbase::Error);
}

// ---------------------------------------------------------------- display control

TEST_F(DataSetTest, NestedDisableSendsOneRefreshAtTheLastEnable) {
    openTable({"Adams", "Baker", "Cole"});
    QSignalSpy data(&table, &data::DataSet::dataChanged);
    QSignalSpy states(&table, &data::DataSet::stateChanged);
    QSignalSpy fields(&table, &data::DataSet::fieldChanged);

    table.disableControls();
    table.disableControls();
    EXPECT_TRUE(table.controlsDisabled());
    table.next();
    table.last();
    table.edit();
    table.fieldByName(kInfo).setAsString(QStringLiteral("quiet"));
    table.post();
    table.enableControls();
    EXPECT_TRUE(table.controlsDisabled());
    EXPECT_EQ(data.count() + states.count() + fields.count(), 0);
    table.enableControls();
    EXPECT_FALSE(table.controlsDisabled());
    EXPECT_EQ(data.count(), 1);
    EXPECT_EQ(states.count(), 0);  // browsing before and after
    table.enableControls();        // one too many does nothing
    EXPECT_EQ(data.count(), 1);

    // Closed and opened meanwhile (what a pack does): the controls hear the state again.
    table.disableControls();
    table.close();
    table.open();
    table.enableControls();
    ASSERT_EQ(states.count(), 1);
    EXPECT_EQ(states.at(0).at(0).value<DataSetState>(), DataSetState::Browse);
    EXPECT_EQ(data.count(), 2);
}

// A pack or a backup that fails, and then cannot reopen the table either: the user hears
// of the first failure, and the controls are not left held still.
TEST_F(DataSetTest, WorkThatFailsReportsItsOwnFailureAndTheControlsComeBack) {
    openTable({"Adams", "Baker"});
    const auto failingWork = [&] {
        EXPECT_TRUE(table.controlsDisabled());
        table.close();
        table.setExclusive(true);
        table.setTableName(QStringLiteral("GONE.DBF"));  // reopening will fail too
        throw std::runtime_error("the work failed");
    };
    try {
        data::reopenSharedAfter(table, failingWork);
        FAIL() << "the failure was lost";
    } catch (const std::runtime_error& failure) {
        EXPECT_STREQ(failure.what(), "the work failed");
    }
    EXPECT_FALSE(table.controlsDisabled());
    EXPECT_FALSE(table.exclusive());
    EXPECT_FALSE(table.active());

    // Work that succeeds leaves the table open and shared.
    table.setTableName(QStringLiteral("ADDRESS.DBF"));
    data::reopenSharedAfter(table, [&] {
        table.close();
        table.setExclusive(true);
        table.open();
    });
    EXPECT_TRUE(table.active());
    EXPECT_FALSE(table.exclusive());
}

TEST_F(DataSetTest, ControlsWithTypedTextCanStopASave) {
    openTable({"Adams"});
    bool refuse = true;
    int asked = 0;
    QObject::connect(&table, &data::DataSet::updateRecord, [&](bool& accepted) {
        ++asked;
        if (refuse) accepted = false;
    });
    table.edit();
    table.fieldByName(kInfo).setAsString(QStringLiteral("typed"));
    EXPECT_THROW(table.post(), data::Abort);
    EXPECT_EQ(table.state(), DataSetState::Edit);
    refuse = false;
    table.post();
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(table.state(), DataSetState::Browse);
}

}  // namespace
