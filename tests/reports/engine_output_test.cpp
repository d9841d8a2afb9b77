// The outputs of a laid-out report: text file, report file, PDF and painted pages.

#include <report_engine/report_error.h>
#include <report_engine/report_file.h>
#include <report_engine/report_layout.h>
#include <report_engine/report_render.h>
#include <report_engine/report_text_export.h>
#include <report_engine/sample_report.h>
#include "endless_inputs.h"
#include "file_size_limit.h"
#include "temp_dir.h"
#include "test_paths.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace reports;

const QString kTitle = QStringLiteral("Marigold Cardhold www.example.com");

std::unique_ptr<MemoryDataSet> entries(const std::vector<std::pair<QString, QString>>& rows) {
    auto data = std::make_unique<MemoryDataSet>(QStringList{"NAME", "INFO"});
    for (const auto& [name, memo] : rows) data->addRecord({name, memo});
    return data;
}

qsizetype lineWith(const QStringList& lines, const QString& text) {
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (lines[i].contains(text)) return i;
    return -1;
}

using testsupport::qpath;
using testsupport::readBytes;

TEST(ReportText, NamesAndMemosStandInTheirColumnsOneLinePerPrintedLine) {
    auto data = entries({{"Abbott, Ann", "12 Mill Street\r\nSpringfield"}, {"Best, Bob", ""}});
    auto report = sample::makeAddressReport(*data, kTitle);
    report->setRunTime(QDateTime(QDate(2024, 3, 5), QTime(9, 0)));
    const QStringList lines = reportTextLines(layoutReport(*report));

    // 8 report pixels a column: the one-inch margin is 15 columns.
    const QStringList expected = {
        QString(17, ' ') + kTitle,  // header items at 16, 366, 454, 540, 632 and 746
        "",
        "Abbott, Ann",
        "12 Mill Street",
        "Springfield",
        "",
        "Best, Bob",
        "",
        ""};
    ASSERT_GE(lines.size(), 8);
    EXPECT_TRUE(lines[0].startsWith(expected[0]));
    EXPECT_EQ(lines[0].indexOf("Date Run:"), 61);
    EXPECT_EQ(lines[0].indexOf("03/05/24"), 72);
    EXPECT_EQ(lines[0].indexOf("Records:"), 83);
    EXPECT_EQ(lines[0].indexOf(" 2 ") + 1, 94);
    EXPECT_EQ(lines[0].indexOf("Page:"), 108);
    EXPECT_EQ(lines[0].indexOf(" 1"), 118);  // right-aligned to the band's edge at 960
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], QString(15, ' ') + "Abbott, Ann");
    EXPECT_EQ(lines[3], QString(15, ' ') + "12 Mill Street");
    EXPECT_EQ(lines[4], QString(15, ' ') + "Springfield");
    EXPECT_EQ(lines[5], "");  // the rest of Ann's band
    EXPECT_EQ(lines[6], QString(15, ' ') + "Best, Bob");
    EXPECT_EQ(lines.last().trimmed(), "Produced by Marigold Cardhold");
    EXPECT_EQ(lines.filter(QRegularExpression("\\S")).size(), 6);
}

TEST(ReportText, TextFormatStartsAtTheFirstColumnWithTheMemoIndented) {
    auto data = entries({{"Abbott, Ann", QString("word ").repeated(40)}, {"Best, Bob", "x"}});
    auto report = sample::makeAddressReport(*data, kTitle, {.textFormat = true});
    const QStringList lines = reportTextLines(layoutReport(*report));
    EXPECT_EQ(lines[0], "Abbott, Ann");
    EXPECT_TRUE(lines[1].startsWith("    word word"));
    EXPECT_TRUE(lines[2].startsWith("    word"));
    EXPECT_EQ(lines[lineWith(lines, "Best, Bob")], "Best, Bob");
    EXPECT_EQ(lines.last(), "    x");
    for (const QString& line : lines) EXPECT_LE(line.size(), 80) << line.toStdString();
}

TEST(ReportText, TextsNeverRunIntoEachOtherAndPagesAreSeparated) {
    ReportDocument document;
    const ReportFont font;
    document.pages.resize(2);
    // The first text is wider in characters than the columns up to the second.
    document.pages[0].texts = {{0, 100, 60, 19, "A rather long text", font},
                               {40, 102, 30, 19, "next", font},
                               {0, 160, 30, 19, "below", font}};
    document.pages[1].texts = {{0, 100, 30, 19, "second page", font}};
    EXPECT_EQ(reportTextLines(document),
              QStringList({"A rather long text next", "", "", "below", "", "second page"}));

    TextExportOptions options;
    options.formFeedBetweenPages = true;
    EXPECT_EQ(reportTextLines(document, options)[4], "\f");

    testsupport::TempDir dir;
    writeTextFile(document, qpath(dir / "report.TXT"));
    EXPECT_EQ(readBytes(dir / "report.TXT"), "A rather long text next\n\n\nbelow\n\nsecond page\n");
    EXPECT_THROW(writeTextFile(document, qpath(dir / "missing/report.TXT")), ReportError);
}

// A report file may place its items anywhere: a million units apart they must not make
// a text file of millions of blanks.
TEST(ReportText, FarFlungItemsStayWithinAPageOfLinesAndThePapersWidth) {
    ReportDocument document;
    const ReportFont font;
    document.pages.resize(1);
    for (int i = 0; i < 20; ++i)
        document.pages[0].texts.push_back({1000000 * (i % 2), 1000000 * i, 30, 19, "far", font});
    TextExportOptions options;
    const QStringList lines = reportTextLines(document, options);
    const double linesPerPage = document.paperHeight / options.lineHeight;
    const double columnsPerPage = document.paperWidth / options.columnWidth;
    EXPECT_EQ(lines.filter("far").size(), 20);
    EXPECT_LE(lines.size(), 20 * (linesPerPage + 1));
    for (const QString& line : lines) EXPECT_LE(line.size(), columnsPerPage + 4);
}

TEST(ReportFile, SavedReportLoadsBackAsTheSamePages) {
    auto data = sample::makeEntries(60, 3);
    auto report = sample::makeAddressReport(*data, kTitle);
    const ReportDocument document = layoutReport(*report);
    ASSERT_GT(document.pageCount(), 3);

    testsupport::TempDir dir;
    const QString file = qpath(dir / "entries.chrep");
    saveReportFile(document, file);
    const ReportDocument loaded = loadReportFile(file);
    EXPECT_EQ(loaded.title, kTitle);
    EXPECT_EQ(loaded.pageCount(), document.pageCount());
    EXPECT_TRUE(loaded == document);
    EXPECT_EQ(reportTextLines(loaded), reportTextLines(document));

    // A failed save leaves the file that was there.
    EXPECT_THROW(saveReportFile(document, qpath(dir / "no/such/folder.chrep")), ReportError);
    EXPECT_THROW(saveReportFile(document, testsupport::qpath(dir.path())), ReportError);
    EXPECT_TRUE(loadReportFile(file) == document);
}

TEST(ReportFile, DamagedOrForeignFilesAreRefusedWithAClearMessage) {
    auto data = entries({{"Ann", "memo"}});
    const QByteArray good = encodeReport(layoutReport(*sample::makeAddressReport(*data, kTitle)));
    ASSERT_TRUE(good.contains("\"pages\""));

    const std::vector<std::pair<QByteArray, QString>> cases = {
        {"", "is not a report file"},
        {"PK\x03\x04 zip data", "is not a report file"},
        {"{\"format\":\"something else\"}", "is not a report file"},
        {QByteArray(good).replace("\"version\":1", "\"version\":2"), "has version 2"},
        {QByteArray(good).replace("\"pages\"", "\"pagez\""), "the page list is missing"},
        {QByteArray(good).replace("\"dashdotdot\"", "\"wavy\""), "unknown line style \"wavy\""},
        {QByteArray(good).replace("\"pixelSize\":16.667", "\"pixelSize\":-3"),
         "font 1 is not valid"},
        {QByteArray(good).replace("\"texts\":[[", "\"texts\":[[0.5"), "is not a whole number"},
        {QByteArray(good).replace("\"texts\":[[", "\"texts\":[[1,"), "values instead of 6"},
        {good.left(good.size() / 2), "is not a report file"},
    };
    for (const auto& [bytes, message] : cases) {
        try {
            decodeReport(bytes, "broken.chrep");
            ADD_FAILURE() << "accepted: " << message.toStdString();
        } catch (const ReportError& error) {
            EXPECT_TRUE(error.message().contains("\"broken.chrep\""))
                << error.message().toStdString();
            EXPECT_TRUE(error.message().contains(message)) << error.message().toStdString();
        }
    }
    // Font numbers must name a font of the file.
    QByteArray badFont = good;
    const qsizetype text = badFont.indexOf("\"texts\":[[") + 10;
    const qsizetype fontField = [&] {
        qsizetype at = text;
        for (int commas = 0; commas < 4; ++at)
            if (badFont[at] == ',') ++commas;
        return at;
    }();
    badFont.replace(fontField, 1, "7");
    EXPECT_THROW(decodeReport(badFont, "x"), ReportError);

    try {
        loadReportFile("/no/such/report.chrep");
        FAIL();
    } catch (const ReportError& error) {
        EXPECT_TRUE(error.message().startsWith("Cannot open \"/no/such/report.chrep\""));
    }

    // A link to /dev/zero claims no size and never ends; a pipe waits for a writer.
    testsupport::TempDir dir;
    for (const auto& input : testsupport::plantEndlessInputs(dir.path(), "report.chrep"))
        EXPECT_REFUSED_IN_TIME(loadReportFile(testsupport::qpath(input)),
                               "refused: Cannot open .* it is not a file")
            << input;
}

int pdfPageCount(const QByteArray& pdf) {
    return static_cast<int>(pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r") +
                            pdf.count("/Type /Page ") + pdf.count("/Type /Page/") +
                            pdf.count("/Type /Page>"));
}

TEST(ReportPdf, EveryPageGoesIntoThePdfAndAPrinterRangeIsHonoured) {
    auto data = sample::makeEntries(40, 5);
    const ReportDocument document = layoutReport(*sample::makeAddressReport(*data, kTitle));
    ASSERT_GE(document.pageCount(), 3);

    testsupport::TempDir dir;
    writePdf(document, qpath(dir / "report.pdf"));
    const QByteArray pdf = QByteArray::fromStdString(readBytes(dir / "report.pdf"));
    EXPECT_TRUE(pdf.startsWith("%PDF-"));
    EXPECT_EQ(pdfPageCount(pdf), document.pageCount());

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(qpath(dir / "printed.pdf"));
    preparePrinter(printer, document);
    EXPECT_EQ(printer.docName(), kTitle);
    printer.setPrintRange(QPrinter::PageRange);
    printer.setFromTo(2, 3);
    printDocument(printer, document);
    EXPECT_EQ(pdfPageCount(QByteArray::fromStdString(readBytes(dir / "printed.pdf"))), 2);

    EXPECT_THROW(writePdf(ReportDocument{}, qpath(dir / "empty.pdf")), ReportError);
    EXPECT_FALSE(QFile::exists(qpath(dir / "empty.pdf")));
}

TEST(ReportOutput, AWriteThatFailsPartWayLeavesTheOldFileWhole) {
    auto data = sample::makeEntries(40, 5);
    const ReportDocument document = layoutReport(*sample::makeAddressReport(*data, kTitle));
    testsupport::TempDir dir;
    const std::pair<const char*, std::function<void(const QString&)>> writers[] = {
        {"report.TXT", [&](const QString& file) { writeTextFile(document, file, {}); }},
        {"report.qrp", [&](const QString& file) { saveReportFile(document, file); }},
        {"report.pdf", [&](const QString& file) { writePdf(document, file); }},
        {"printed.pdf",
         [&](const QString& file) {
             QPrinter printer(QPrinter::HighResolution);
             printer.setOutputFormat(QPrinter::PdfFormat);
             printer.setOutputFileName(file);
             preparePrinter(printer, document);
             printDocument(printer, document);
         }},
    };
    for (const auto& [name, write] : writers) {
        const QString file = qpath(dir / name);
        testsupport::writeBytes(dir / name, "the user's old file");
        {
            testsupport::FileSizeLimit limit(2048);
            ASSERT_TRUE(limit.active());
            EXPECT_THROW(write(file), ReportError) << name;
        }
        EXPECT_EQ(readBytes(dir / name), "the user's old file") << name;
    }
    // Nothing of the failed writes is left beside the files.
    EXPECT_EQ(QDir(qpath(dir.path())).entryList(QDir::Files).size(), qsizetype(std::size(writers)));
}

// The dark pixels of a page painted at the given pixels per report pixel.
QRect inkBounds(const ReportPage& page, double scale) {
    QImage image(int(kLetterWidth * scale), int(kLetterHeight * scale), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.scale(scale, scale);
    paintPage(painter, page);
    painter.end();
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128) bounds |= QRect(x, y, 1, 1);
    return bounds;
}

TEST(ReportPaint, TextIsPaintedWhereAndAsWideAsItWasLaidOut) {
    auto data = entries({{"Wide Name For Measuring", ""}});
    auto report = sample::makeAddressReport(*data, kTitle);
    report->findBand("PageHeaderBand1")->setEnabled(false);
    report->findBand("SummaryBand1")->setEnabled(false);
    report->findBand("DetailBand1")->setFrame({});
    const ReportDocument document = layoutReport(*report);
    ASSERT_EQ(document.pages[0].texts.size(), 1u);
    const PageText& name = document.pages[0].texts[0];

    // The same at screen size and at print size: fonts are not scaled twice.
    for (double scale : {1.0, 2.5}) {
        const QRect ink = inkBounds(document.pages[0], scale);
        EXPECT_NEAR(ink.left() / scale, name.x, 2) << scale;
        EXPECT_NEAR(ink.right() / scale, name.x + name.width, 3) << scale;
        EXPECT_GE(ink.top() / scale, name.y);
        EXPECT_LE(ink.bottom() / scale, name.y + name.height);
        EXPECT_GT(ink.height() / scale, name.height / 2.0);
    }
}

TEST(ReportPaint, LinesAndBoxesArePaintedOnTheirPlaces) {
    ReportPage page;
    page.boxes.push_back({100, 200, 300, 40, LineStyle::Solid, 1});
    page.lines.push_back({100, 500, 900, 500, LineStyle::DashDotDot, 1});
    const QRect ink = inkBounds(page, 1.0);
    EXPECT_NEAR(ink.left(), 100, 1);
    EXPECT_NEAR(ink.top(), 200, 1);
    EXPECT_NEAR(ink.right(), 900, 3);  // the pattern may end in a gap
    EXPECT_NEAR(ink.bottom(), 500, 1);
}

}  // namespace
