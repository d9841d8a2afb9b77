// The report command over a real address table: which entries each selection kind
// reports, the messages, the options the dialog hands on, and where the grid stands
// afterwards.

#include "report_ui_fixture.h"

#include <QLabel>

namespace {

using reports::kAll;
using reports::kCurrent;
using reports::kRange;
using reports::kSelected;
using reporttest::DialogAnswer;
using reporttest::Entry;
using reporttest::named;

class ReportCommand : public reporttest::ReportCommandTest {};

TEST_F(ReportCommand, CurrentReportsEveryEntryOfTheSameNameInAnyCase) {
    open(named({"Jones", "Smith", "SMITH", "Adams", "Smithers"}));
    for (const QString& name : {QStringLiteral("Smith"), QStringLiteral("SMITH")}) {
        makeCurrent(name);
        run(kCurrent);
        EXPECT_EQ(last().names.size(), 2) << name.toStdString();
        EXPECT_TRUE(last().names.contains("Smith"));
        EXPECT_TRUE(last().names.contains("SMITH"));
        EXPECT_EQ(last().recordCount, 2);
        // Back on the first of the two in name order, which need not be the one left.
        EXPECT_EQ(current().toUpper(), "SMITH");
        EXPECT_EQ(address().bookmark(), address().visibleAt(2));
    }
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(lastKind, kCurrent);
    // The report's copy stays open, shared, in name order, filtered.
    EXPECT_TRUE(copy().active());
    EXPECT_FALSE(copy().exclusive());
    EXPECT_EQ(copy().indexName().toUpper(), "ADDRESS");
    EXPECT_TRUE(copy().filtered());
    EXPECT_EQ(copy().filter(), "upper(Name)=\"SMITH\"");
}

TEST_F(ReportCommand, SelectedMatchesExactNamesOnlyAndKeepsTheNameList) {
    open(named({"Jones", "Smith", "SMITH", "Adams"}));
    makeCurrent("Adams");
    select({"Smith"});
    run(kSelected);
    EXPECT_EQ(last().names, QStringList{"Smith"});
    EXPECT_EQ(nameList->toPlainText(), "Smith");
    EXPECT_EQ(current(), "Adams");

    select({"Jones", "Adams", "SMITH"});
    run(kSelected);
    // Reported in name order, whatever order they were selected in.
    EXPECT_EQ(last().names, (QStringList{"Adams", "Jones", "SMITH"}));
    EXPECT_EQ(nameList->toPlainText().split('\n').size(), 3);
    // The selection is left as it was, to be reported again.
    EXPECT_EQ(grid->selectedRows().size(), 3);
}

TEST_F(ReportCommand, RangeIsByNameWhicheverWayItsEndsComeAndIncludesBoth) {
    // Natural order: Baker, adams, Cole, Davis, Evans, cole.
    open(named({"Baker", "adams", "Cole", "Davis", "Evans", "cole"}));
    // The ends as the grid holds them: the greater name first (Davis before cole).
    select({"Davis", "cole"});
    run(kRange);
    ASSERT_EQ(last().names.size(), 3);
    for (const char* name : {"Cole", "cole", "Davis"}) EXPECT_TRUE(last().names.contains(name));
    EXPECT_EQ(copy().filter(), "upper(Name) >= \"COLE\" AND upper(Name) <= \"DAVIS\"");

    // The lesser name first: the same report.
    select({"Cole", "Davis"});
    run(kRange);
    EXPECT_EQ(shown[1].names, shown[0].names);

    // Both ends of one name: every entry with that name in any letter case.
    select({"Cole", "cole"});
    run(kRange);
    EXPECT_EQ(last().names.size(), 2);
    EXPECT_TRUE(messages().empty());
}

TEST_F(ReportCommand, RangeInNaturalOrderTakesTheNamesBetweenNotTheRowsBetween) {
    // Natural order: Zed, Baker, Young, Adams, Carter
    open(named({"Zed", "Baker", "Young", "Adams", "Carter"}));
    address().setIndexName("");
    makeCurrent("Young");
    select({"Baker", "Carter"});  // rows 1 and 4; Young and Adams lie between on screen
    duringPreview = [&] { address().last(); };  // the user browses while the preview is open
    run(kRange);
    EXPECT_EQ(last().names, (QStringList{"Baker", "Carter"}));
    // Natural order has no key to search: the grid goes back to the entry itself.
    EXPECT_EQ(current(), "Young");
    EXPECT_TRUE(messages().empty());
    EXPECT_TRUE(address().indexName().isEmpty());
}

TEST_F(ReportCommand, RangeNeedsExactlyTwoSelectedRows) {
    open(named({"Adams", "Baker", "Cole", "Davis"}));
    const auto clickRow = [&](int r, Qt::KeyboardModifiers modifiers = {}) {
        const QPoint at = grid->visualRect(grid->model()->index(r, 0)).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, modifiers, at);
    };
    // A plain click selects only the row clicked.
    clickRow(2);
    ASSERT_EQ(grid->selectedRows().size(), 1);
    run(kRange);
    // Three rows by Ctrl-clicks.
    clickRow(0, Qt::ControlModifier);
    clickRow(3, Qt::ControlModifier);
    ASSERT_EQ(grid->selectedRows().size(), 3);
    run(kRange);
    EXPECT_EQ(messages(),
              (std::vector<QString>{reports::kNoRangeSelected, reports::kNoRangeSelected}));
    EXPECT_EQ(prompter.records().front().prompt.kind, platform::MessageKind::Plain);
    EXPECT_TRUE(shown.empty());
    EXPECT_FALSE(copy().active());
    EXPECT_FALSE(copy().exclusive());
    EXPECT_EQ(current(), "Davis");  // the last row clicked stays current
}

TEST_F(ReportCommand, SelectedNeedsASelectedRow) {
    open(named({"Adams", "Baker"}));
    run(kSelected);
    EXPECT_EQ(messages(), std::vector<QString>{reports::kNoRecordsSelected});
    EXPECT_TRUE(shown.empty());
}

TEST_F(ReportCommand, AllReportsWhatTheGridShowsInItsOrder) {
    open({{"Cole", "phone 555-1234"},
          {"Adams", "nothing"},
          {"Bakersfield", "x"},
          {"Baker", "call about 555"}});
    run(kAll);
    EXPECT_EQ(last().names, (QStringList{"Adams", "Baker", "Bakersfield", "Cole"}));
    EXPECT_EQ(last().recordCount, 4);
    EXPECT_TRUE(last().prints("Records:"));
    EXPECT_TRUE(last().prints("4"));

    address().setIndexName("");
    run(kAll);
    EXPECT_EQ(last().names, (QStringList{"Cole", "Adams", "Bakersfield", "Baker"}));
    address().setIndexName("ADDRESS");

    // The name-only search: the count is the engine's and equals what is listed.
    state.nameOnlySearch = true;
    address().setFilter("\"BAKER\"$upper(Name)");
    address().setFiltered(true);
    run(kAll);
    EXPECT_EQ(last().names, (QStringList{"Baker", "Bakersfield"}));
    EXPECT_EQ(last().recordCount, 2);
    EXPECT_TRUE(last().prints("Records:"));
    EXPECT_TRUE(last().prints("2"));

    // The name-and-memo search decides entry by entry: the engine cannot count it, so
    // the header shows no count.
    address().setFiltered(false);
    address().setFilter("");
    address().onFilterRecord = [](data::DataSet& set) {
        return set.fieldByName("INFO").asString().contains("555");
    };
    address().setFiltered(true);
    run(kAll);
    EXPECT_EQ(last().names, (QStringList{"Baker", "Cole"}));
    EXPECT_FALSE(last().prints("Records:"));
    EXPECT_TRUE(last().prints("Date Run:"));
    EXPECT_TRUE(last().prints("Page:"));
    EXPECT_TRUE(messages().empty());
    // The main table keeps its order and filter.
    EXPECT_TRUE(address().filtered());
    EXPECT_EQ(address().indexName().toUpper(), "ADDRESS");
}

TEST_F(ReportCommand, TheCountIsHiddenForTheMemoSearchAlsoWhenTheReportCopyIsWalked) {
    open(named({"Adams", "Baker"}));
    address().onFilterRecord = [](data::DataSet&) { return true; };
    address().setFiltered(true);
    makeCurrent("Baker");
    run(kCurrent);
    EXPECT_EQ(last().names, QStringList{"Baker"});
    EXPECT_FALSE(last().prints("Records:"));
}

TEST_F(ReportCommand, DialogOpensWithItsDefaultsEveryTimeAndCancelChangesNothing) {
    open(named({"Adams", "Baker", "Cole"}));
    makeCurrent("Baker");
    run(DialogAnswer{kCurrent, false, true});
    EXPECT_FALSE(lastIncludeMemo);
    EXPECT_TRUE(lastTextFormat);

    makeCurrent("Cole");
    run(DialogAnswer{kSelected, true, false, true});
    ASSERT_EQ(opened.size(), 2u);
    for (const auto& dialog : opened) {
        EXPECT_EQ(dialog.kind, kAll);
        EXPECT_TRUE(dialog.includeMemo);
        EXPECT_FALSE(dialog.textFormat);
    }
    // The cancelled command showed nothing, changed no state and left the grid alone.
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(current(), "Cole");
    EXPECT_TRUE(lastIncludeMemo);  // every command starts with the memo in
    EXPECT_FALSE(lastTextFormat);  // and text format off
    EXPECT_EQ(copy().filter(), "upper(Name)=\"BAKER\"");
}

TEST_F(ReportCommand, OptionsShapeTheReport) {
    open({{"Adams", "first line\r\nsecond line"}, {"Baker", "memo"}});
    run(DialogAnswer{kAll, false, true});
    const auto& page = last().document.pages.at(0);
    // Names only, at the paper's edge, 35 report pixels apart, with no lines between.
    ASSERT_EQ(page.texts.size(), 2u);
    EXPECT_EQ(page.texts[0].x, 0);
    EXPECT_EQ(page.texts[1].y - page.texts[0].y, 35);
    EXPECT_TRUE(page.lines.empty());
    EXPECT_FALSE(last().prints(reports::producedByCaption()));

    run(DialogAnswer{kAll, true, false});
    EXPECT_TRUE(last().prints("first line"));
    EXPECT_TRUE(last().prints("Marigold Cardhold - Friends"));
    EXPECT_TRUE(last().prints(reports::producedByCaption()));
    EXPECT_EQ(last().document.title, reports::reportTitle());
}

TEST_F(ReportCommand, NamesWithQuotesReportCorrectly) {
    open(named({"O\"Brien", "Adams", "Say \"Hi\" [it's]", "Zed"}));
    makeCurrent("O\"Brien");
    run(kCurrent);
    EXPECT_EQ(last().names, QStringList{"O\"Brien"});
    EXPECT_EQ(current(), "O\"Brien");

    select({"Say \"Hi\" [it's]"});
    run(kSelected);
    EXPECT_EQ(last().names, QStringList{"Say \"Hi\" [it's]"});

    select({"Adams", "Say \"Hi\" [it's]"});
    run(kRange);
    EXPECT_EQ(last().names, (QStringList{"Adams", "O\"Brien", "Say \"Hi\" [it's]"}));
    EXPECT_TRUE(messages().empty());
}

TEST_F(ReportCommand, TheGridGoesBackAlsoWhenTheReportFails) {
    open(named({"Adams", "Baker", "Cole"}));
    makeCurrent("Baker");
    duringPreview = [&] {
        address().first();  // the user browses while the preview is open
        throw reports::ReportError("The printer is out of paper.");
    };
    try {
        run(kAll);
        FAIL() << "the failure was lost";
    } catch (const reports::ReportError& error) {
        EXPECT_EQ(error.message(), "The printer is out of paper.");
    }
    EXPECT_EQ(current(), "Baker");
}

TEST_F(ReportCommand, OneReportAtATime) {
    open(named({"Adams", "Baker"}));
    int dialogs = 0;
    duringPreview = [&] {
        EXPECT_TRUE(reports::ReportCommand::reportInProgress());
        const size_t before = opened.size();
        run(kAll);  // the button pressed again while the preview is open
        dialogs = static_cast<int>(opened.size() - before);
    };
    run(kAll);
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_FALSE(reports::ReportCommand::reportInProgress());
}

TEST_F(ReportCommand, NoMatchingEntryIsToldAndTheEmptyReportStillShown) {
    open({});
    run(kCurrent);
    EXPECT_EQ(messages(), std::vector<QString>{reports::kNoRecords});
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(last().names.isEmpty());
    EXPECT_EQ(last().document.pageCount(), 0);  // print-if-empty is off
    run(kAll);
    EXPECT_EQ(shown.size(), 2u);
    EXPECT_EQ(last().document.pageCount(), 0);
    EXPECT_EQ(messages().size(), 1u);  // All tells nothing
}

}  // namespace
