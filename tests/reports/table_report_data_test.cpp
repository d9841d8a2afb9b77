// A table data set as the report walks it: the rows the grid shows, in its order and
// through its filter, read without moving the table, and a clear stop when the table
// goes away under the report.

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <xbase/types.h>

#include <report_engine/report_error.h>
#include <reports/table_report_data.h>
#include "report_ui_fixture.h"

namespace {

using reports::ReportError;
using reports::TableReportData;
using reporttest::Entry;

class TableData : public reporttest::ReportCommandTest {
  protected:
    QStringList walk(TableReportData& data, const QString& field = "NAME") {
        QStringList out;
        for (data.first(); !data.atEnd(); data.next()) out << data.fieldText(field);
        return out;
    }
};

TEST_F(TableData, WalksTheRowsTheGridShowsWithoutMovingTheTable) {
    open({{"Cole", "memo c"}, {"Adams", "memo a"}, {"Baker", "memo b"}, {"Abbot", "x"}});
    makeCurrent("Baker");
    const data::Bookmark here = address().bookmark();
    QSignalSpy moves(&address(), &data::DataSet::dataChanged);
    TableReportData data(address());
    EXPECT_EQ(walk(data), (QStringList{"Abbot", "Adams", "Baker", "Cole"}));
    EXPECT_EQ(walk(data, "info"), (QStringList{"x", "memo a", "memo b", "memo c"}));

    address().setIndexName("");
    EXPECT_EQ(walk(data), (QStringList{"Cole", "Adams", "Baker", "Abbot"}));

    // Through a filter callback too, which the engine's count does not see.
    address().onFilterRecord = [](data::DataSet& set) {
        return set.fieldByName("NAME").asString().startsWith('A');
    };
    address().setFiltered(true);
    EXPECT_EQ(walk(data), (QStringList{"Adams", "Abbot"}));
    EXPECT_EQ(data.recordCount(), 4);
    EXPECT_EQ(data.listedCount(), 2);
    address().setFilter("upper(Name)>=\"B\"");
    EXPECT_EQ(data.recordCount(), 2);

    address().setFiltered(false);
    makeCurrent("Baker");
    moves.clear();
    walk(data);
    EXPECT_EQ(address().bookmark(), here);
    EXPECT_EQ(moves.count(), 0);
}

TEST_F(TableData, ReadsDatesAndRefusesUnknownFields) {
    const xbase::FixedToday today({2031, 12, 31});
    open({{"Adams", "memo"}});
    address().edit();
    address().post();  // the save stamps today's date
    TableReportData data(address());
    data.first();
    EXPECT_EQ(data.fieldText("LastDate"), "12/31/31");
    EXPECT_THROW(data.fieldText("PHONE"), ReportError);
}

TEST_F(TableData, LeavesOutANewEntryThatIsStillBeingTyped) {
    open({{"Adams", ""}, {"Baker", ""}});
    address().insert();
    address().fieldByName("NAME").setAsString("Newman");
    TableReportData data(address());
    EXPECT_EQ(walk(data), (QStringList{"Adams", "Baker"}));
    address().cancel();
}

TEST_F(TableData, StopsWhenTheTableIsClosedOrPackedUnderIt) {
    open({{"Adams", ""}, {"Baker", ""}});
    TableReportData data(address());
    data.first();
    address().close();
    EXPECT_THROW(data.fieldText("NAME"), ReportError);
    EXPECT_THROW(data.first(), ReportError);

    address().open();
    data.first();
    dm->packAddressTable();  // record numbers may now name other entries
    EXPECT_THROW(data.fieldText("NAME"), ReportError);
    data.first();
    EXPECT_EQ(data.fieldText("NAME"), "Adams");
}

}  // namespace
