// The preview window, offscreen: paging, zooming, the status line while pages are
// laid out, the waiting call, and saving, loading and printing through its dialogs.

#include <report_engine/report_error.h>
#include <report_engine/report_file.h>
#include <report_engine/report_layout.h>
#include <report_engine/report_preview.h>
#include <report_engine/report_text_export.h>
#include <report_engine/sample_report.h>
#include "temp_dir.h"
#include "test_paths.h"
#include "wait.h"

#include <platform/fakes.h>

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QScrollArea>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace {

using namespace reports;

const QString kTitle = QStringLiteral("Marigold Cardhold www.example.com");

QString status(const ReportPreview& preview) {
    return preview.findChild<QLabel*>("pageStatus")->text();
}

QAction* action(const ReportPreview& preview, const char* name) {
    QAction* found = preview.findChild<QAction*>(name);
    if (found == nullptr) throw std::runtime_error(std::string("no action ") + name);
    return found;
}

ReportDocument sampleDocument(int entryCount) {
    auto data = sample::makeEntries(entryCount, 11);
    auto report = sample::makeAddressReport(*data, kTitle);
    report->setRunTime(QDateTime(QDate(2025, 6, 1), QTime(8, 0)));
    return layoutReport(*report);
}

ReportPreview* shownPreview() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* preview = qobject_cast<ReportPreview*>(window); preview && preview->isVisible())
            return preview;
    return nullptr;
}

// Runs `act` on the preview window once it is shown (and, if asked, laid out); closes
// whatever preview there is when that does not come.
void whenPreviewShown(std::function<void(ReportPreview&)> act, bool laidOut = true) {
    testsupport::whenReady(
        [laidOut] {
            return shownPreview() != nullptr && !(laidOut && shownPreview()->isLayingOut());
        },
        [act = std::move(act)] { act(*shownPreview()); }, "the laid-out preview window",
        [] {
            if (ReportPreview* preview = shownPreview()) preview->close();
        });
}

void waitForLayout(const ReportPreview& preview) {
    testsupport::waitUntil([&] { return !preview.isLayingOut(); }, "the layout to finish");
}

// Every preview lays out this many records per slice while it lives.
struct SlicePace {
    explicit SlicePace(int records) { ReportPreview::setRecordsPerSlice(records); }
    ~SlicePace() { ReportPreview::setRecordsPerSlice(0); }
};

TEST(ReportPreview, PagesThroughTheReportAndTellsWhereItIs) {
    ReportPreview preview;
    preview.setDocument(sampleDocument(40));
    preview.show();
    const int pages = preview.pageCount();
    ASSERT_GE(pages, 3);
    EXPECT_EQ(preview.windowTitle(), kTitle);
    EXPECT_EQ(status(preview), QString("Page 1 of %1").arg(pages));
    EXPECT_FALSE(action(preview, "actionFirstPage")->isEnabled());
    EXPECT_FALSE(action(preview, "actionPreviousPage")->isEnabled());

    action(preview, "actionNextPage")->trigger();
    EXPECT_EQ(preview.currentPage(), 1);
    EXPECT_EQ(status(preview), QString("Page 2 of %1").arg(pages));
    action(preview, "actionLastPage")->trigger();
    EXPECT_EQ(status(preview), QString("Page %1 of %1").arg(pages));
    EXPECT_FALSE(action(preview, "actionNextPage")->isEnabled());
    action(preview, "actionNextPage")->trigger();  // nothing past the end
    EXPECT_EQ(preview.currentPage(), pages - 1);
    action(preview, "actionPreviousPage")->trigger();
    EXPECT_EQ(preview.currentPage(), pages - 2);
    action(preview, "actionFirstPage")->trigger();
    EXPECT_EQ(status(preview), QString("Page 1 of %1").arg(pages));

    preview.setDocument(ReportDocument{});
    EXPECT_EQ(status(preview), "No pages");
    EXPECT_FALSE(action(preview, "actionPrint")->isEnabled());
}

TEST(ReportPreview, ZoomsToTheWholePageToItsWidthAndToActualSize) {
    ReportPreview preview;
    preview.setDocument(sampleDocument(5));
    preview.resize(900, 700);
    preview.show();
    QCoreApplication::processEvents();
    auto* area = preview.findChild<QScrollArea*>("pageScrollArea");
    QWidget* page = preview.findChild<QWidget*>("pageView");

    action(preview, "actionZoomFit")->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(preview.zoomMode(), ReportPreview::ZoomMode::FitPage);
    EXPECT_LE(page->width(), area->viewport()->width());
    EXPECT_LE(page->height(), area->viewport()->height());
    EXPECT_GE(page->height(), area->viewport()->height() - 2);  // a Letter page is taller than wide
    const double fit = preview.zoomFactor();

    action(preview, "actionZoomWidth")->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(action(preview, "actionZoomWidth")->isChecked());
    EXPECT_FALSE(action(preview, "actionZoomFit")->isChecked());
    EXPECT_NEAR(page->width(), area->viewport()->width(), 1);
    EXPECT_GT(preview.zoomFactor(), fit);

    action(preview, "actionZoom100")->trigger();
    QCoreApplication::processEvents();
    EXPECT_DOUBLE_EQ(preview.zoomFactor(), page->logicalDpiX() / 120.0);
    EXPECT_NEAR(page->width() - 24, 8.5 * page->logicalDpiX(), 1);

    // Fit and width follow the window's size; actual size does not.
    preview.resize(1200, 900);
    QCoreApplication::processEvents();
    EXPECT_DOUBLE_EQ(preview.zoomFactor(), page->logicalDpiX() / 120.0);
    action(preview, "actionZoomWidth")->trigger();
    QCoreApplication::processEvents();
    EXPECT_NEAR(page->width(), area->viewport()->width(), 1);
}

TEST(ReportPreview, ShowsPagesAndProgressWhileTheyAreLaidOut) {
    auto data = sample::makeEntries(3000, 11);
    auto report = sample::makeAddressReport(*data, kTitle);
    report->setRunTime(QDateTime(QDate(2025, 6, 1), QTime(8, 0)));

    // A slice of 100 records, whatever the speed of the machine: thirty slices in all.
    const SlicePace pace(100);
    ReportPreview preview;
    preview.show();
    preview.startLayout(*report);
    auto* progress = preview.findChild<QProgressBar*>("layoutProgress");
    EXPECT_TRUE(preview.isLayingOut());
    EXPECT_TRUE(progress->isVisible());
    EXPECT_FALSE(action(preview, "actionPrint")->isEnabled());
    EXPECT_FALSE(action(preview, "actionSave")->isEnabled());

    // After a few slices the first pages can be looked at already.
    int slices = 0;
    QObject::connect(progress, &QProgressBar::valueChanged, [&] { ++slices; });
    ASSERT_TRUE(testsupport::waitUntil([&] { return slices >= 3; }, "three slices of layout"));
    ASSERT_TRUE(preview.isLayingOut());
    EXPECT_EQ(progress->maximum(), 3000);
    EXPECT_GT(progress->value(), 0);
    EXPECT_LT(progress->value(), 3000);
    ASSERT_GE(preview.pageCount(), 3);
    EXPECT_TRUE(status(preview).startsWith("Page 1 of "));
    action(preview, "actionNextPage")->trigger();
    EXPECT_EQ(preview.currentPage(), 1);

    waitForLayout(preview);
    EXPECT_FALSE(progress->isVisible());
    EXPECT_TRUE(action(preview, "actionPrint")->isEnabled());
    const ReportDocument whole = layoutReport(*report);
    EXPECT_EQ(status(preview), QString("Page 2 of %1").arg(whole.pageCount()));
    EXPECT_TRUE(preview.document() == whole);
}

TEST(ReportPreview, PreviewCallWaitsUntilTheWindowIsClosedWithoutBlockingTheProgram) {
    auto data = sample::makeEntries(30, 2);
    auto report = sample::makeAddressReport(*data, kTitle);
    bool checked = false;
    bool otherTimerRan = false;
    QTimer::singleShot(0, [&] { otherTimerRan = true; });  // the program goes on meanwhile
    whenPreviewShown([&](ReportPreview& preview) {
        EXPECT_TRUE(preview.isMaximized());
        EXPECT_EQ(preview.windowTitle(), kTitle);
        EXPECT_EQ(preview.windowModality(), Qt::NonModal);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_GT(preview.pageCount(), 1);
        checked = true;
        QTimer::singleShot(0, &preview, &QWidget::close);
    });
    previewReport(*report);
    EXPECT_TRUE(checked);
    EXPECT_TRUE(otherTimerRan);
    for (QWidget* window : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<ReportPreview*>(window), nullptr);
}

// Counts how far the report walked, and fails on a chosen record.
class WatchedData : public MemoryDataSet {
  public:
    using MemoryDataSet::MemoryDataSet;
    void next() override {
        ++walked;
        MemoryDataSet::next();
    }
    QString fieldText(const QString& field) const override {
        if (walked == failAt) throw ReportError("The memo file is damaged.");
        return MemoryDataSet::fieldText(field);
    }
    int walked = 0;
    int failAt = -1;
};

std::unique_ptr<WatchedData> watchedEntries(int count) {
    auto data = std::make_unique<WatchedData>(QStringList{"NAME", "INFO"});
    auto source = sample::makeEntries(count, 4);
    for (source->first(); !source->atEnd(); source->next())
        data->addRecord({source->fieldText("NAME"), source->fieldText("INFO")});
    return data;
}

TEST(ReportPreview, ClosingDuringLayoutStopsWalkingTheData) {
    auto data = watchedEntries(20000);
    auto report = sample::makeAddressReport(*data, kTitle);
    const SlicePace pace(100);
    whenPreviewShown([](ReportPreview& preview) { preview.close(); }, false);
    previewReport(*report);
    EXPECT_LT(data->walked, 20000);
}

TEST(ReportPreview, DataErrorWhileLayingOutClosesThePreviewAndIsThrown) {
    auto data = watchedEntries(500);
    data->failAt = 120;
    auto report = sample::makeAddressReport(*data, kTitle);
    try {
        previewReport(*report);
        FAIL() << "the error was lost";
    } catch (const ReportError& error) {
        EXPECT_EQ(error.message(), "The memo file is damaged.");
    }
    EXPECT_EQ(data->walked, 120);
    for (QWidget* window : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<ReportPreview*>(window), nullptr);
}

// Answers the next file dialog of the preview with a file and a format.
void answerFileDialog(const char* dialogName, const QString& file, const QString& filter = {}) {
    const auto dialog = [dialogName] {
        auto* shown = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        return shown != nullptr && shown->objectName() == dialogName ? shown : nullptr;
    };
    testsupport::whenReady([dialog] { return dialog() != nullptr; },
                           [=] {
                               if (!filter.isEmpty()) dialog()->selectNameFilter(filter);
                               dialog()->selectFile(file);
                               static_cast<QDialog*>(dialog())->accept();  // hidden by QFileDialog
                           },
                           std::string("the file dialog ") + dialogName);
}

TEST(ReportPreview, SavesTextAndReportFilesAndLoadsAReportBack) {
    testsupport::TempDir dir;
    const QString textFile = testsupport::qpath(dir / "entries.TXT");
    const QString reportFile = testsupport::qpath(dir / "entries.chrep");
    const ReportDocument document = sampleDocument(12);

    ReportPreview preview;
    preview.setDocument(document);
    preview.show();
    answerFileDialog("saveDialog", textFile, "Text file (*.TXT *.txt)");
    action(preview, "actionSave")->trigger();
    EXPECT_EQ(QString::fromStdString(testsupport::readBytes(dir / "entries.TXT")),
              reportTextLines(document).join('\n') + '\n');

    answerFileDialog("saveDialog", reportFile, "Report file (*.chrep)");
    action(preview, "actionSave")->trigger();

    // A typed suffix decides the format, whatever filter is chosen.
    const QString pdfFile = testsupport::qpath(dir / "entries.pdf");
    answerFileDialog("saveDialog", pdfFile, "Report file (*.chrep)");
    action(preview, "actionSave")->trigger();
    EXPECT_EQ(testsupport::readBytes(dir / "entries.pdf").substr(0, 5), "%PDF-");

    ReportPreview other;
    other.show();
    EXPECT_EQ(other.pageCount(), 0);
    answerFileDialog("loadDialog", reportFile);
    action(other, "actionLoad")->trigger();
    EXPECT_TRUE(other.document() == document);
    EXPECT_EQ(other.windowTitle(), kTitle);
    EXPECT_EQ(status(other), QString("Page 1 of %1").arg(document.pageCount()));

    // The saved file shows the same way through the waiting call.
    preview.close();
    other.close();
    whenPreviewShown([&](ReportPreview& shown) {
        EXPECT_EQ(shown.pageCount(), document.pageCount());
        shown.close();
    });
    previewDocument(loadReportFile(reportFile));
}

TEST(ReportPreview, ADamagedReportFileIsToldAndThePagesStay) {
    testsupport::TempDir dir;
    const QString broken = testsupport::qpath(dir / "broken.chrep");
    testsupport::writeBytes(dir / "broken.chrep",
                            "{\"format\":\"Marigold Cardhold report\",\"version\":1,\"pages\":7}");

    ReportPreview preview;
    platform::FakePrompter prompter;
    preview.setPrompter(&prompter);
    const ReportDocument document = sampleDocument(3);
    preview.setDocument(document);
    EXPECT_FALSE(preview.load(broken));
    ASSERT_EQ(prompter.records().size(), 1u);
    EXPECT_EQ(prompter.records()[0].prompt.kind, platform::MessageKind::Error);
    EXPECT_EQ(prompter.texts()[0].toStdString(), ("The report file \"" + broken +
                                                  "\" is damaged: the paper width is not a whole "
                                                  "number from 1 to 12000.")
                                                     .toStdString());
    EXPECT_TRUE(preview.document() == document);

    EXPECT_FALSE(
        preview.saveAs(testsupport::qpath(dir / "no/such.pdf"), ReportPreview::SaveFormat::Pdf));
    ASSERT_EQ(prompter.texts().size(), 2u);
    EXPECT_TRUE(prompter.texts()[1].startsWith("Cannot write"));
}

// Looks at the print dialog once it is up, then cancels it.
void whenPrintDialogUp(std::function<void(QPrintDialog&)> look) {
    const auto dialog = [] {
        return qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
    };
    testsupport::whenReady([dialog] { return dialog() != nullptr; },
                           [dialog, look = std::move(look)] {
                               look(*dialog());
                               dialog()->reject();
                           },
                           "the print dialog");
}

TEST(ReportPreview, PrintAsksForThePrinterWithTheTitleAsJobName) {
    ReportPreview preview;
    preview.setDocument(sampleDocument(12));
    preview.show();
    QString jobName;
    QPageSize::PageSizeId paper = QPageSize::A4;
    int lastPage = 0;
    whenPrintDialogUp([&](QPrintDialog& dialog) {
        jobName = dialog.printer()->docName();
        paper = dialog.printer()->pageLayout().pageSize().id();
        lastPage = dialog.maxPage();
    });
    action(preview, "actionPrint")->trigger();
    EXPECT_EQ(jobName, kTitle);
    EXPECT_EQ(paper, QPageSize::Letter);
    EXPECT_EQ(lastPage, preview.pageCount());
}

// Printing to a file offers the book's name, made a valid file name, in the documents folder.
TEST(ReportPreview, PrintToFileOffersTheBooksNameInTheDocumentsFolder) {
    testsupport::TempDir home;
    std::filesystem::create_directory(home / "Documents");
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QByteArray::fromStdString(home.path().string()));
    auto data = sample::makeEntries(3, 2);
    auto report = sample::makeAddressReport(*data, kTitle);
    report->setFileName("Friends: 2024/25");

    ReportPreview preview;
    preview.startLayout(*report);
    waitForLayout(preview);
    QStringList offered;
    for (const char* command : {"actionPrinterSetup", "actionPrint"}) {
        whenPrintDialogUp([&](QPrintDialog& dialog) {
            if (auto* file = dialog.findChild<QLineEdit*>("filename")) offered << file->text();
        });
        action(preview, command)->trigger();
    }
    qputenv("HOME", oldHome);
    const QString expected = testsupport::qpath(home / "Documents" / "Friends_ 2024_25.pdf");
    EXPECT_EQ(offered, (QStringList{expected, expected}));
}

}  // namespace
