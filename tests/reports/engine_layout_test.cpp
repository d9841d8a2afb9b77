// Laying reports out into pages: bands, pagination, stretching memos, switched-off
// items and bands, system items. Most cases use the sample address report, whose
// page starts at y 60 (half-inch top margin) and x 120 (one-inch left margin).

#include <report_engine/report_error.h>
#include <report_engine/report_layout.h>
#include <report_engine/report_text_metrics.h>
#include <report_engine/sample_report.h>

#include <QDate>

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

namespace {

using namespace reports;

const QString kTitle = QStringLiteral("Marigold Cardhold www.example.com");
constexpr int kTop = 60;
constexpr int kLeft = 120;
constexpr int kBottom = 1260;
constexpr int kHeaderHeight = 40;

std::unique_ptr<MemoryDataSet> entries(const std::vector<std::pair<QString, QString>>& rows) {
    auto data = std::make_unique<MemoryDataSet>(QStringList{"NAME", "INFO"});
    for (const auto& [name, memo] : rows) data->addRecord({name, memo});
    return data;
}

QString numberedLines(const QString& stem, int count) {
    QStringList lines;
    for (int i = 1; i <= count; ++i) lines << stem + QString::number(i);
    return lines.join("\r\n");
}

const PageText* findText(const ReportPage& page, const QString& text) {
    for (const PageText& t : page.texts)
        if (t.text == text) return &t;
    return nullptr;
}

// The text that must be on the page; its absence fails the test rather than crash it.
const PageText& at(const ReportPage& page, const QString& text) {
    if (const PageText* found = findText(page, text)) return *found;
    throw std::runtime_error("no text \"" + text.toStdString() + "\" on the page");
}

// Every text of the document with this content, with the index of its page.
std::vector<std::pair<int, const PageText*>> allTexts(const ReportDocument& document,
                                                      const QString& text) {
    std::vector<std::pair<int, const PageText*>> found;
    for (int p = 0; p < document.pageCount(); ++p)
        for (const PageText& t : document.pages[size_t(p)].texts)
            if (t.text == text) found.emplace_back(p, &t);
    return found;
}

TEST(ReportLayout, EmptyDataSetGivesNoPagesUnlessPrintIfEmpty) {
    auto data = entries({});
    auto report = sample::makeAddressReport(*data, kTitle);
    EXPECT_EQ(layoutReport(*report).pageCount(), 0);

    report->setPrintIfEmpty(true);
    const ReportDocument document = layoutReport(*report);
    ASSERT_EQ(document.pageCount(), 1);
    EXPECT_NE(findText(document.pages[0], "Date Run:"), nullptr);
    EXPECT_NE(findText(document.pages[0], " Produced by Marigold Cardhold  "), nullptr);
    EXPECT_EQ(at(document.pages[0], "0").x, kLeft + 632);  // the record count
}

TEST(ReportLayout, DetailBandsAreAsHighAsSetAndGrowWithTheirMemo) {
    auto data = entries({{"Ann", ""}, {"Bob", "one\r\ntwo\r\nthree"}, {"Cid", ""}, {"Dee", ""}});
    auto report = sample::makeAddressReport(*data, kTitle);
    const ReportDocument document = layoutReport(*report);
    ASSERT_EQ(document.pageCount(), 1);
    const ReportPage& page = document.pages[0];

    const int ann = at(page, "Ann").y;
    const int bob = at(page, "Bob").y;
    const int cid = at(page, "Cid").y;
    const int dee = at(page, "Dee").y;
    EXPECT_EQ(ann, kTop + kHeaderHeight + 8);
    EXPECT_EQ(bob - ann, 60);  // an empty memo leaves the band as it is
    EXPECT_EQ(dee - cid, 60);
    // Bob's band grows by as much as his memo is taller than its 25-pixel item.
    const PageText& one = at(page, "one");
    const PageText& three = at(page, "three");
    EXPECT_EQ(one.y, bob - 8 + 32);
    EXPECT_EQ(one.x, kLeft);
    const int memoHeight = three.y + three.height - one.y;
    EXPECT_EQ(cid - bob, 60 + memoHeight - 25);

    // Without the memo the band is 35 high and has no separating line.
    auto namesOnly = sample::makeAddressReport(*data, kTitle, {.includeMemo = false});
    const ReportPage names = layoutReport(*namesOnly).pages[0];
    EXPECT_EQ(at(names, "Bob").y - at(names, "Ann").y, 35);
    EXPECT_EQ(findText(names, "one"), nullptr);
    EXPECT_TRUE(names.lines.empty());
}

TEST(ReportLayout, MemoTallerThanAPageContinuesLineByLineUnderTheNextHeader) {
    auto data =
        entries({{"First", "short memo"}, {"Long", numberedLines("Line ", 150)}, {"Last", "end"}});
    auto report = sample::makeAddressReport(*data, kTitle);
    const ReportDocument document = layoutReport(*report);
    ASSERT_GE(document.pageCount(), 3);

    int expected = 1;
    int previousPage = -1;
    int previousY = 0;
    for (int p = 0; p < document.pageCount(); ++p) {
        const ReportPage& page = document.pages[size_t(p)];
        // Every page has its header, numbered; nothing runs into the bottom margin.
        EXPECT_EQ(at(page, "Date Run:").y, kTop + 8) << "page " << p + 1;
        EXPECT_NE(findText(page, QString::number(p + 1)), nullptr);
        for (const PageText& t : page.texts) {
            EXPECT_GE(t.y, kTop);
            EXPECT_LE(t.y + t.height, kBottom) << t.text.toStdString();
        }
        std::vector<const PageText*> memo;
        for (const PageText& t : page.texts)
            if (t.text.startsWith("Line ")) memo.push_back(&t);
        std::sort(memo.begin(), memo.end(), [](auto a, auto b) { return a->y < b->y; });
        for (const PageText* line : memo) {
            EXPECT_EQ(line->text, "Line " + QString::number(expected)) << "page " << p + 1;
            if (previousPage == p) {
                EXPECT_GE(line->y - previousY, 18);
                EXPECT_LE(line->y - previousY, 21);
            } else if (expected > 1) {
                // The page before was filled as far as a line fits, and the memo goes
                // on right under this page's header.
                EXPECT_EQ(line->y, kTop + kHeaderHeight);
                EXPECT_GT(previousY + 2 * 21, kBottom);
            }
            previousPage = p;
            previousY = line->y;
            ++expected;
        }
    }
    EXPECT_EQ(expected, 151);
    EXPECT_EQ(allTexts(document, "Long").size(), 1u);
    EXPECT_EQ(allTexts(document, "Last").front().first, document.pageCount() - 1);
}

// A report with a fixed detail band of the given height and a summary of 55.
std::unique_ptr<Report> fixedReport(ReportDataSet& data, int detailHeight) {
    auto report = std::make_unique<Report>();
    report->setDataSet(&data);
    report->setMargins({1.0, 0.5, 0.5, 0.5});
    report->addBand(BandKind::PageHeader, "Header", 40).addLabel("Title", 0, 8, "Heading");
    report->addBand(BandKind::Detail, "Detail", detailHeight).addDataText("Name", 0, 8, "NAME");
    report->addBand(BandKind::Summary, "Summary", 55).addLabel("End", 0, 18, "The end");
    return report;
}

TEST(ReportLayout, SummaryComesOnceAfterTheLastRecordAndMovesOnWhenItDoesNotFit) {
    // The body holds 1160 pixels under the header: ten bands of 115 leave 10 pixels.
    auto ten = std::make_unique<MemoryDataSet>(QStringList{"NAME"});
    for (int i = 0; i < 10; ++i) ten->addRecord({QStringLiteral("Name %1").arg(i)});
    ReportDocument document = layoutReport(*fixedReport(*ten, 115));
    ASSERT_EQ(document.pageCount(), 2);
    EXPECT_TRUE(allTexts(document, "The end").size() == 1 &&
                allTexts(document, "The end")[0].first == 1);
    EXPECT_EQ(at(document.pages[1], "The end").y, kTop + 40 + 18);
    EXPECT_NE(findText(document.pages[1], "Heading"), nullptr);

    // With 100-pixel bands there are 60 pixels left: the summary stays on the page.
    document = layoutReport(*fixedReport(*ten, 100));
    ASSERT_EQ(document.pageCount(), 1);
    const int lastName = at(document.pages[0], "Name 9").y;
    EXPECT_EQ(at(document.pages[0], "The end").y, lastName - 8 + 100 + 18);
}

TEST(ReportLayout, SwitchedOffItemsAndBandsAreLeftOutAndTheRestKeepTheirPlaces) {
    auto data = entries({{"Ann", "memo"}, {"Bob", ""}});
    auto full = sample::makeAddressReport(*data, kTitle);
    full->setRunTime(QDateTime(QDate(2024, 3, 5), QTime(9, 0)));
    full->setDateFormat("MM");
    const ReportPage withCount = layoutReport(*full).pages[0];

    auto noCount = sample::makeAddressReport(*data, kTitle, {.showRecordCount = false});
    noCount->setRunTime(*full->runTime());
    noCount->setDateFormat("MM");
    const ReportPage page = layoutReport(*noCount).pages[0];
    EXPECT_EQ(findText(page, "Records:"), nullptr);
    EXPECT_EQ(at(withCount, "2").x, kLeft + 632);
    EXPECT_EQ(findText(page, "2"), nullptr);
    EXPECT_EQ(page.texts.size(), withCount.texts.size() - 2);
    for (const QString text : {"Date Run:", "03", "Page:", "1", "Ann", "memo", "Bob"})
        EXPECT_EQ(at(page, text).x, at(withCount, text).x) << text.toStdString();

    // With the page header off, the first band starts at the top margin.
    full->findBand("PageHeaderBand1")->setEnabled(false);
    full->findBand("SummaryBand1")->setEnabled(false);
    const ReportPage bare = layoutReport(*full).pages[0];
    EXPECT_EQ(at(bare, "Ann").y, kTop + 8);
    EXPECT_EQ(bare.texts.size(), 3u);
    EXPECT_TRUE(bare.boxes.empty());
}

TEST(ReportLayout, TextFormatPutsTheNameAtThePaperEdgeAndTheMemoIndented) {
    auto data = entries({{"Ann", QString("word ").repeated(60)}});
    auto report = sample::makeAddressReport(*data, kTitle, {.textFormat = true});
    const ReportDocument document = layoutReport(*report);
    ASSERT_EQ(document.pageCount(), 1);
    const ReportPage& page = document.pages[0];
    EXPECT_EQ(at(page, "Ann").x, 0);
    EXPECT_EQ(at(page, "Ann").y, kTop + 8);
    int memoLines = 0;
    for (const PageText& t : page.texts) {
        if (!t.text.startsWith("word")) continue;
        ++memoLines;
        EXPECT_EQ(t.x, 32);
        EXPECT_LE(t.width, 512);
    }
    EXPECT_GE(memoLines, 2);
    EXPECT_EQ(findText(page, " Produced by Marigold Cardhold  "), nullptr);
}

TEST(ReportLayout, ItemsAlignInTheirBandAndCarryTheirFrames) {
    auto data = entries({{"Ann", ""}, {"Bob", ""}});
    auto report = sample::makeAddressReport(*data, kTitle);
    const ReportPage page = layoutReport(*report).pages[0];

    const PageText& pageNumber = at(page, "1");
    EXPECT_EQ(pageNumber.x + pageNumber.width, kLeft + 840);

    const PageText& produced = at(page, " Produced by Marigold Cardhold  ");
    EXPECT_NEAR(produced.x + produced.width / 2.0, kLeft + 420, 1);
    ASSERT_EQ(page.boxes.size(), 1u);
    EXPECT_EQ(page.boxes[0].x, produced.x);
    EXPECT_EQ(page.boxes[0].width, produced.width);
    EXPECT_EQ(page.boxes[0].y, produced.y);

    // One dash-dot-dot line along the top of each detail band, the band's full width.
    ASSERT_EQ(page.lines.size(), 2u);
    for (const PageLine& line : page.lines) {
        EXPECT_EQ(line.style, LineStyle::DashDotDot);
        EXPECT_EQ(line.x1, kLeft);
        EXPECT_EQ(line.x2, kLeft + 840);
        EXPECT_EQ(line.y1, line.y2);
    }
    EXPECT_EQ(page.lines[0].y1, at(page, "Ann").y - 8);
}

TEST(ReportLayout, ItemsMovedAndResizedAtRunTimeAreLaidOutThere) {
    auto data = entries({{"Ann", QString("lorem ipsum ").repeated(30)}});
    auto report = sample::makeAddressReport(*data, kTitle);
    const int wideLines = static_cast<int>(layoutReport(*report).pages[0].texts.size());

    report->findItem("QRDBText1")->moveTo(100, 10);
    report->findItem("QRDBText2")->setWidth(300);
    const ReportPage page = layoutReport(*report).pages[0];
    EXPECT_EQ(at(page, "Ann").x, kLeft + 100);
    EXPECT_EQ(at(page, "Ann").y, kTop + kHeaderHeight + 10);
    for (const PageText& t : page.texts)
        if (t.text.startsWith("lorem")) {
            EXPECT_LE(t.width, 300);
        }
    EXPECT_GT(static_cast<int>(page.texts.size()), wideLines + 2);
}

TEST(ReportLayout, WrappingKeepsLongWordsAndLineBreaksWithinTheItem) {
    const QString word = QString("x").repeated(400);
    auto data = entries({{"Ann", word + "\r\n\r\n\tindented\r\n\r\n\r\n"}});
    auto report = sample::makeAddressReport(*data, kTitle);
    const ReportPage page = layoutReport(*report).pages[0];
    QString rejoined;
    std::vector<const PageText*> memo;
    for (const PageText& t : page.texts)
        if (t.y > at(page, "Ann").y) memo.push_back(&t);
    int lastX = 0;
    TextMetrics metrics;
    for (const PageText* t : memo) {
        EXPECT_LE(t->width, 837);
        // Broken lines are as wide as their text measures on its own.
        EXPECT_NEAR(t->width, metrics.measure(t->font).width(t->text), 1.0);
        if (!t->text.startsWith('x')) continue;
        rejoined += t->text;
        lastX = std::max(lastX, t->y);
    }
    EXPECT_EQ(rejoined, word);  // a word wider than the item is broken, nothing lost
    const PageText& indented = at(page, "        indented");
    // The empty line before it keeps its place; the empty lines after it take none.
    EXPECT_GT(indented.y - lastX, 30);
    EXPECT_EQ(at(page, " Produced by Marigold Cardhold  ").y,
              indented.y + indented.height + 3 + 18);
}

TEST(ReportLayout, FixedWidthItemsWithoutWrapCutTheirTextToFit) {
    auto data = entries({{"Ann", "second line\r\nof the memo"}});
    auto report = sample::makeAddressReport(*data, kTitle);
    ReportItem& name = *report->findItem("QRDBText1");
    name.setAutoSize(false);
    name.setWordWrap(false);
    name.setWidth(61);
    static_cast<ReportDataText&>(name).setField("INFO");
    const ReportPage page = layoutReport(*report).pages[0];
    // Only the first line shows in the 24-pixel item, cut to the longest part that fits.
    const PageText* cut = nullptr;
    for (const PageText& t : page.texts)
        if (t.y == kTop + kHeaderHeight + 8) cut = &t;
    ASSERT_NE(cut, nullptr);
    EXPECT_TRUE(QString("second line").startsWith(cut->text));
    EXPECT_GE(cut->text.size(), 4);
    EXPECT_LE(cut->width, 61);
    TextMetrics metrics;
    const QString longer = QString("second line").left(cut->text.size() + 1);
    EXPECT_GT(metrics.measure(cut->font).width(longer), 61);
    EXPECT_EQ(at(page, "second line").y, kTop + kHeaderHeight + 32);  // the memo item, whole
}

class MiscountedData : public MemoryDataSet {
  public:
    using MemoryDataSet::MemoryDataSet;
    int recordCount() const override { return 42; }
};

TEST(ReportLayout, SystemItemsShowRunDateRecordCountAndPageNumber) {
    MiscountedData data({"NAME", "INFO"});
    data.addRecord({"Ann", ""});
    auto report = sample::makeAddressReport(data, kTitle);
    report->setRunTime(QDateTime(QDate(2024, 3, 5), QTime(14, 30)));
    const ReportPage page = layoutReport(*report).pages[0];
    EXPECT_EQ(at(page, "03/05/24").x, kLeft + 454);
    // The count is the data set's own, not the number of records walked.
    EXPECT_EQ(at(page, "42").x, kLeft + 632);
}

TEST(ReportLayout, FooterAndTitleBandsFrameTheBody) {
    auto data = std::make_unique<MemoryDataSet>(QStringList{"NAME"});
    for (int i = 0; i < 60; ++i) data->addRecord({QStringLiteral("Name %1").arg(i)});
    Report report;
    report.setDataSet(data.get());
    report.addBand(BandKind::Title, "Title", 50).addLabel("Big", 0, 0, "Address list");
    report.addBand(BandKind::Detail, "Detail", 40).addDataText("Name", 0, 0, "NAME");
    ReportBand& footer = report.addBand(BandKind::PageFooter, "Footer", 30);
    footer.addSystemText("Number", 0, 5, SystemData::PageNumber).setAlignToBand(true);
    footer.addSystemText("Count", 100, 5, SystemData::DetailNumber);

    const ReportDocument document = layoutReport(report);
    ASSERT_EQ(document.pageCount(), 3);
    EXPECT_EQ(allTexts(document, "Address list").size(), 1u);
    EXPECT_EQ(at(document.pages[0], "Address list").y, kTop);
    EXPECT_EQ(at(document.pages[0], "Name 0").y, kTop + 50);
    for (int p = 0; p < 3; ++p) {
        const ReportPage& page = document.pages[size_t(p)];
        EXPECT_EQ(at(page, QString::number(p + 1)).y, kBottom - 30 + 5);
        for (const PageText& t : page.texts)
            if (t.text.startsWith("Name")) {
                EXPECT_LE(t.y + 40, kBottom - 30);
            }
    }
    // 28 records fit under the title on page 1, 29 on page 2: the detail number of
    // the last record on each page is its footer's count.
    EXPECT_EQ(at(document.pages[0], "28").y, kBottom - 30 + 5);
    EXPECT_EQ(at(document.pages[1], "57").y, kBottom - 30 + 5);
}

TEST(ReportLayout, KeepTogetherMovesABandThatWouldBeSplit) {
    auto data = entries({{"First", numberedLines("A", 50)}, {"Second", numberedLines("B", 20)}});
    auto report = sample::makeAddressReport(*data, kTitle);
    const ReportDocument split = layoutReport(*report);
    EXPECT_EQ(allTexts(split, "Second")[0].first, 0);
    EXPECT_EQ(allTexts(split, "B20")[0].first, 1);

    report->findBand("DetailBand1")->setKeepTogether(true);
    const ReportDocument kept = layoutReport(*report);
    EXPECT_EQ(allTexts(kept, "Second")[0].first, 1);
    EXPECT_EQ(allTexts(kept, "B1")[0].first, 1);
}

TEST(ReportLayout, SlicedLayoutMatchesOneGoAndReportsProgress) {
    auto data = sample::makeEntries(300, 7);
    auto report = sample::makeAddressReport(*data, kTitle);
    report->setRunTime(QDateTime(QDate(2025, 1, 2), QTime(9, 0)));

    std::vector<int> progress;
    const ReportDocument whole = layoutReport(*report, [&](int done, int total) {
        EXPECT_EQ(total, 300);
        progress.push_back(done);
    });
    ASSERT_FALSE(progress.empty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.back(), 300);

    ReportLayouter layouter(*report);
    int slices = 0;
    while (!layouter.layoutSome(7)) ++slices;
    EXPECT_GT(slices, 40);
    EXPECT_EQ(layouter.recordsDone(), 300);
    EXPECT_TRUE(layouter.document() == whole);
}

TEST(ReportLayout, DataErrorsAndMissingDataSetAreReported) {
    auto data = entries({{"Ann", ""}});
    auto report = sample::makeAddressReport(*data, kTitle);
    static_cast<ReportDataText*>(report->findItem("QRDBText2"))->setField("NOTES");
    EXPECT_THROW(layoutReport(*report), ReportError);

    report->setDataSet(nullptr);
    try {
        layoutReport(*report);
        FAIL() << "no error without a data set";
    } catch (const ReportError& error) {
        EXPECT_EQ(error.message(), "The report has no data set.");
    }
    EXPECT_THROW(report->addBand(BandKind::Detail, "Another", 10), ReportError);
}

}  // namespace
