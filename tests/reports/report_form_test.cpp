// The address book's report layout: what the memo and text-format options change,
// when the record count is left out, and where everything lands on the laid-out pages.

#include <QDateTime>
#include <QFont>

#include <gtest/gtest.h>

#include <xbase/types.h>

#include <data/dataset.h>

#include <report_engine/report_data_set.h>
#include <report_engine/report_layout.h>
#include <report_engine/report_text_export.h>
#include <reports/address_report.h>

namespace {

using namespace reports;

const QString kWindowTitle = QStringLiteral("Marigold Cardhold - Friends");

std::unique_ptr<MemoryDataSet> entries(const std::vector<QStringList>& rows) {
    auto set = std::make_unique<MemoryDataSet>(QStringList{"NAME", "INFO"});
    for (const QStringList& row : rows) set->addRecord(row);
    return set;
}

const PageText* findText(const ReportPage& page, const QString& text) {
    for (const PageText& line : page.texts)
        if (line.text == text) return &line;
    return nullptr;
}

// A data set for the main table that is never opened: only its filter state matters.
struct MainTable {
    data::DataSet table;
    MainTable(bool filtered, const QString& expression) {
        table.setFilter(expression);
        table.setFiltered(filtered);
    }
};

TEST(ReportForm, TheMemoIsLeftOutOnlyWhenNotIncluded) {
    AddressReport withMemo(kWindowTitle, true);
    EXPECT_TRUE(withMemo.memoText->isEnabled());
    EXPECT_EQ(withMemo.entryBand->height(), 60);

    AddressReport nameOnly(kWindowTitle, false);
    EXPECT_FALSE(nameOnly.memoText->isEnabled());
    EXPECT_FALSE(nameOnly.entryBand->frame().any());
    EXPECT_EQ(nameOnly.entryBand->height(), 35);
    EXPECT_TRUE(nameOnly.nameText->isEnabled());
}

TEST(ReportForm, TextFormatMovesTheMemoAndDropsMarginHeaderAndSummary) {
    MainTable memoSearch(true, QString());
    AddressReport form(kWindowTitle, true);
    form.applyTextFormat(true, memoSearch.table);
    EXPECT_EQ(form.report.margins().left, 0.0);
    EXPECT_EQ(form.report.margins().right, 2.5);
    EXPECT_EQ(form.report.contentWidth(), 720);
    EXPECT_FALSE(form.pageHeader->isEnabled());
    EXPECT_FALSE(form.closingBand->isEnabled());
    EXPECT_EQ(form.memoText->left(), 32);
    EXPECT_EQ(form.memoText->width(), 512);
    EXPECT_EQ(form.nameText->left(), 0);
    // The count test belongs to the paper layout only.
    EXPECT_TRUE(form.recordCountCaption->isEnabled());
    EXPECT_TRUE(form.recordCountText->isEnabled());
}

TEST(ReportForm, RecordCountIsLeftOutOnlyForTheNameAndMemoSearch) {
    struct Case {
        bool filtered;
        QString expression;
        bool countShown;
    };
    for (const Case& c :
         {Case{false, "", true}, Case{true, "\"SMI\"$upper(Name)", true}, Case{true, "", false},
          // an expression left from an earlier search while unfiltered
          Case{false, "\"SMI\"$upper(Name)", true}}) {
        MainTable main(c.filtered, c.expression);
        AddressReport form(kWindowTitle, true);
        form.applyTextFormat(false, main.table);
        EXPECT_EQ(form.recordCountCaption->isEnabled(), c.countShown) << c.expression.toStdString();
        EXPECT_EQ(form.recordCountText->isEnabled(), c.countShown);
        EXPECT_TRUE(form.dateCaption->isEnabled());
        EXPECT_TRUE(form.pageNumberCaption->isEnabled());
        EXPECT_TRUE(form.pageHeader->isEnabled());
        EXPECT_TRUE(form.closingBand->isEnabled());
        EXPECT_EQ(form.report.margins().left, 1.0);
    }
}

class LaidOutReport : public ::testing::Test {
  protected:
    ReportDocument layOut(ReportDataSet& data, bool includeMemo, bool textFormat,
                          bool memoSearch = false) {
        MainTable main(memoSearch, QString());
        ReportDocument document;
        const ReportRequest request{data, includeMemo, textFormat, main.table, kWindowTitle};
        produceReport(request, [&](const Report& report) { document = layoutReport(report); });
        return document;
    }
};

TEST_F(LaidOutReport, PaperLayoutPlacesHeaderEntriesAndClosingLine) {
    const xbase::FixedToday today({2031, 12, 31});
    auto data = entries({{"Adams, Ann", "12 Mill Street\r\nSpringfield"}, {"Baker, Bob", ""}});
    const ReportDocument document = layOut(*data, true, false);
    ASSERT_EQ(document.pageCount(), 1);
    EXPECT_EQ(document.title, "Marigold Cardhold https://www.marigold-cardhold.example");
    const ReportPage& page = document.pages[0];
    // The page starts 0.5 inch down and 1 inch in: 60 and 120 report pixels.
    const PageText* title = findText(page, kWindowTitle);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->x, 136);
    EXPECT_EQ(title->y, 68);
    ASSERT_NE(findText(page, "Date Run:"), nullptr);
    EXPECT_EQ(findText(page, "Date Run:")->x, 486);
    ASSERT_NE(findText(page, "12/31/31"), nullptr);
    EXPECT_EQ(findText(page, "12/31/31")->x, 574);
    EXPECT_EQ(findText(page, "Records:")->x, 660);
    ASSERT_NE(findText(page, "2"), nullptr);
    EXPECT_EQ(findText(page, "2")->x, 752);
    EXPECT_EQ(findText(page, "Page:")->x, 866);
    const PageText* number = findText(page, "1");
    ASSERT_NE(number, nullptr);
    EXPECT_EQ(number->x + number->width, 960);

    const PageText* adams = findText(page, "Adams, Ann");
    ASSERT_NE(adams, nullptr);
    EXPECT_EQ(adams->x, 120);
    EXPECT_EQ(adams->y, 108);
    EXPECT_TRUE(adams->font.bold());
    const PageText* street = findText(page, "12 Mill Street");
    ASSERT_NE(street, nullptr);
    EXPECT_EQ(street->x, 120);
    EXPECT_EQ(street->y, 132);
    EXPECT_FALSE(street->font.bold());
    ASSERT_NE(findText(page, "Springfield"), nullptr);
    // A dash-dot-dot line across the top of every entry.
    ASSERT_EQ(page.lines.size(), 2u);
    EXPECT_EQ(page.lines[0], (PageLine{120, 100, 960, 100, LineStyle::DashDotDot, 1}));

    // The closing line, centred in its box, after the last entry.
    const PageText* produced =
        findText(page, " Produced by Marigold Cardhold  https://www.marigold-cardhold.example");
    ASSERT_NE(produced, nullptr);
    ASSERT_EQ(page.boxes.size(), 1u);
    const PageBox& box = page.boxes[0];
    EXPECT_NEAR(box.x - 120, 960 - (box.x + box.width), 1);
    EXPECT_GT(produced->y, findText(page, "Baker, Bob")->y);
}

TEST_F(LaidOutReport, MemoGrowsItsBandAndAnEmptyMemoKeepsTheDesignHeight) {
    QStringList diary;
    for (int line = 1; line <= 12; ++line) diary << QStringLiteral("Diary line %1").arg(line);
    auto data = entries({{"Adams", ""}, {"Baker", diary.join("\r\n")}, {"Cole", "one line"}});
    const ReportPage page = layOut(*data, true, false).pages.at(0);
    const int adams = findText(page, "Adams")->y;
    const int baker = findText(page, "Baker")->y;
    const int cole = findText(page, "Cole")->y;
    EXPECT_EQ(baker - adams, 60);
    const int lineSpacing = findText(page, "Diary line 2")->y - findText(page, "Diary line 1")->y;
    EXPECT_GT(lineSpacing, 0);
    // Every line of the memo is there, and the next entry starts below the last one.
    EXPECT_NE(findText(page, "Diary line 12"), nullptr);
    EXPECT_GT(cole, findText(page, "Diary line 12")->y);
    EXPECT_GE(cole - baker, 32 + 12 * lineSpacing);
}

TEST_F(LaidOutReport, TextFormatWithoutMemoPrintsNamesAlone) {
    auto data = entries({{"Adams", "memo"}, {"Baker", "memo"}, {"Cole", "memo"}});
    const ReportDocument document = layOut(*data, false, true);
    ASSERT_EQ(document.pageCount(), 1);
    const ReportPage& page = document.pages[0];
    ASSERT_EQ(page.texts.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(page.texts[i].x, 0);
        EXPECT_EQ(page.texts[i].y, 60 + 8 + 35 * static_cast<int>(i));
    }
    EXPECT_TRUE(page.lines.empty());
    EXPECT_TRUE(page.boxes.empty());
}

TEST_F(LaidOutReport, TextFormatIndentsTheMemoAndKeepsItNarrow) {
    const QString longLine = QString("word ").repeated(60).trimmed();
    auto data = entries({{"Adams", longLine}});
    const ReportDocument document = layOut(*data, true, true);
    const ReportPage& page = document.pages.at(0);
    EXPECT_EQ(findText(page, "Adams")->x, 0);
    int memoLines = 0;
    for (const PageText& text : page.texts) {
        if (text.text == "Adams") continue;
        ++memoLines;
        EXPECT_EQ(text.x, 32);
        EXPECT_LE(text.width, 512);
    }
    EXPECT_GT(memoLines, 2);  // 60 words do not fit in 512 report pixels

    // As text: the name at the start of its line, the memo a few columns in.
    const QStringList lines = reportTextLines(document);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.contains("Adams"));
    bool indentedMemo = false;
    for (const QString& line : lines)
        if (line.startsWith("    word")) indentedMemo = true;
    EXPECT_TRUE(indentedMemo);
}

TEST_F(LaidOutReport, ManyEntriesRunOverPagesWithTheHeaderOnEach) {
    std::vector<QStringList> rows;
    for (int i = 0; i < 60; ++i)
        rows.push_back({QStringLiteral("Entry %1").arg(i, 2, 10, QChar('0')), "memo"});
    auto data = entries(rows);
    const ReportDocument document = layOut(*data, true, false);
    ASSERT_GE(document.pageCount(), 3);
    for (int page = 0; page < document.pageCount(); ++page) {
        EXPECT_NE(findText(document.pages[size_t(page)], kWindowTitle), nullptr);
        EXPECT_NE(findText(document.pages[size_t(page)], QString::number(page + 1)), nullptr);
    }
    EXPECT_NE(findText(document.pages.back(), producedByCaption()), nullptr);
    EXPECT_EQ(findText(document.pages.front(), producedByCaption()), nullptr);
}

}  // namespace
