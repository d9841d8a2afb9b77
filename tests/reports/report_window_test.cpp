// The Report Writer button of the running main window: the dialog, the real preview
// window, and a report of thousands of entries laid out while the program stays
// responsive.

#include <QApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <functional>

#include <gtest/gtest.h>

#include <report_engine/report_preview.h>
#include <reports/address_report.h>
#include <reports/record_selection_dialog.h>
#include <reports/report_command.h>
#include <store/address_book.h>
#include "app_fixture.h"
#include "wait.h"

namespace {

using reports::RecordSelectionDialog;
using reports::ReportPreview;

ReportPreview* shownPreview() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* preview = qobject_cast<ReportPreview*>(window); preview && preview->isVisible())
            return preview;
    return nullptr;
}

// Runs `act` once `ready` holds; a preview still open when that does not come is closed,
// so that the command returns and the test fails instead of hanging.
void whenReady(std::function<bool()> ready, std::function<void()> act, const char* what) {
    testsupport::whenReady(std::move(ready), std::move(act), what, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
        if (ReportPreview* preview = shownPreview()) preview->close();
    });
}

// Answers the dialog with `kind` once it is up.
void answerDialog(int kind) {
    whenReady(
        [] {
            return qobject_cast<RecordSelectionDialog*>(QApplication::activeModalWidget()) !=
                   nullptr;
        },
        [kind] {
            auto* dialog = qobject_cast<RecordSelectionDialog*>(QApplication::activeModalWidget());
            dialog->chooseKind(kind);
            dialog->okButton->click();
        },
        "the record selection dialog");
}

class ReportWindow : public ::testing::Test {
  protected:
    apptest::Launch launch;
};

TEST_F(ReportWindow, TheButtonPreviewsTheChosenEntriesAndReturnsToTheEntry) {
    apptest::writeEntries(launch.cwd.path(), {"Cole", "Adams", "Baker"});
    launch.start({});
    app::MainWindow& window = launch.window();
    window.show();
    ASSERT_TRUE(launch.table().gotoBookmark(launch.table().visibleAt(1)));  // Baker

    answerDialog(reports::kAll);
    reports::ReportDocument seen;
    QString caption;
    whenReady([] { return shownPreview() != nullptr && !shownPreview()->isLayingOut(); },
              [&] {
                  seen = shownPreview()->document();
                  caption = shownPreview()->windowTitle();
                  shownPreview()->close();
              },
              "the laid-out preview");
    window.reportButton->click();

    EXPECT_EQ(caption, reports::reportTitle());
    ASSERT_EQ(seen.pageCount(), 1);
    QStringList printed;
    for (const reports::PageText& text : seen.pages[0].texts) printed << text.text;
    for (const char* name : {"Adams", "Baker", "Cole"}) EXPECT_TRUE(printed.contains(name));
    EXPECT_TRUE(printed.contains(window.windowTitle()));
    EXPECT_EQ(launch.currentName(), "Baker");
    EXPECT_TRUE(launch.prompter.texts().empty());
    EXPECT_EQ(shownPreview(), nullptr);
}

TEST_F(ReportWindow, ThousandsOfEntriesLayOutWithProgressWhileTheProgramStaysResponsive) {
    store::generateAddressBook(launch.cwd.path(), {5000, 7, true});
    launch.start({});
    app::MainWindow& window = launch.window();
    window.show();

    answerDialog(reports::kAll);
    // Slices of 200 entries whatever the machine's speed: 25 slices in all.
    ReportPreview::setRecordsPerSlice(200);
    int progressMaximum = 0;
    bool progressShown = false;
    int eventsDuringLayout = 0;
    int pages = 0;
    // Between two slices the program handles what else is waiting: an event posted from
    // one slice runs while the layout still goes on.
    std::function<void()> eachSlice = [&] {
        ReportPreview* preview = shownPreview();
        if (preview == nullptr || !preview->isLayingOut()) return;
        ++eventsDuringLayout;
        auto* progress = preview->findChild<QProgressBar*>("layoutProgress");
        progressShown = progressShown || progress->isVisible();
        progressMaximum = std::max(progressMaximum, progress->maximum());
        QMetaObject::invokeMethod(qApp, eachSlice, Qt::QueuedConnection);
    };
    whenReady([] { return shownPreview() != nullptr; }, eachSlice, "the preview");
    whenReady([] { return shownPreview() != nullptr && !shownPreview()->isLayingOut(); },
              [&] {
                  pages = shownPreview()->pageCount();
                  shownPreview()->close();
              },
              "the laid-out preview");
    window.reportButton->click();
    ReportPreview::setRecordsPerSlice(0);

    EXPECT_TRUE(progressShown);
    EXPECT_EQ(progressMaximum, 5000);
    EXPECT_GE(eventsDuringLayout, 3);
    EXPECT_GT(pages, 500);
    EXPECT_TRUE(launch.prompter.texts().empty());
}

}  // namespace
