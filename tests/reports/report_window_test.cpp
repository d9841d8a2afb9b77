// The Report Writer button of the running main window: the dialog, the real preview
// window, and a report of thousands of entries laid out while the program stays
// responsive.

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <functional>

#include <gtest/gtest.h>

#include "Range.h"
#include "Reports.h"
#include "address_book.h"
#include "app_fixture.h"
#include "report_command.h"
#include "report_preview.h"

namespace {

using reports::ReportPreview;
using reports::TRecRange;

// Polls until `ready` answers true, then runs `act` once.
void whenReady(std::function<bool()> ready, std::function<void()> act) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout,
                     [poll, ready = std::move(ready), act = std::move(act)] {
                         if (!ready()) return;
                         poll->stop();
                         poll->deleteLater();
                         act();
                     });
    poll->start(5);
}

ReportPreview* shownPreview() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* preview = qobject_cast<ReportPreview*>(window); preview && preview->isVisible())
            return preview;
    return nullptr;
}

// Answers the dialog with `kind` once it is up.
void answerDialog(int kind) {
    whenReady([] { return qobject_cast<TRecRange*>(QApplication::activeModalWidget()) != nullptr; },
              [kind] {
                  auto* dialog = qobject_cast<TRecRange*>(QApplication::activeModalWidget());
                  dialog->setItemIndex(kind);
                  dialog->BitBtn1->click();
              });
}

class ReportWindow : public ::testing::Test {
  protected:
    apptest::Launch launch;
};

TEST_F(ReportWindow, TheButtonPreviewsTheChosenEntriesAndReturnsToTheEntry) {
    apptest::writeEntries(launch.cwd.path(), {"Cole", "Adams", "Baker"});
    launch.start({});
    app::TZiDuv& window = launch.window();
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
              });
    window.buttonRW->click();

    EXPECT_EQ(caption, reports::reportTitle());
    ASSERT_EQ(seen.pageCount(), 1);
    QStringList printed;
    for (const reports::PageText& text : seen.pages[0].texts) printed << text.text;
    for (const char* name : {"Adams", "Baker", "Cole"}) EXPECT_TRUE(printed.contains(name));
    EXPECT_TRUE(printed.contains(window.windowTitle()));
    EXPECT_EQ(window.state.Tag, reports::kAll);
    EXPECT_EQ(launch.currentName(), "Baker");
    EXPECT_TRUE(launch.prompter.texts().empty());
    EXPECT_EQ(shownPreview(), nullptr);
}

TEST_F(ReportWindow, ThousandsOfEntriesLayOutWithProgressWhileTheProgramStaysResponsive) {
    store::generateAddressBook(launch.cwd.path(), {5000, 7, true});
    launch.start({});
    app::TZiDuv& window = launch.window();
    window.show();

    answerDialog(reports::kAll);
    int progressMaximum = 0;
    bool progressShown = false;
    int ticksDuringLayout = 0;
    int pages = 0;
    QElapsedTimer clock;
    qint64 layoutMs = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (ReportPreview* preview = shownPreview(); preview && preview->isLayingOut()) {
            ++ticksDuringLayout;
            auto* progress = preview->findChild<QProgressBar*>("layoutProgress");
            progressShown = progressShown || progress->isVisible();
            progressMaximum = std::max(progressMaximum, progress->maximum());
        }
    });
    ticker.start(10);
    whenReady([] { return shownPreview() != nullptr; }, [&] { clock.start(); });
    whenReady([] { return shownPreview() != nullptr && !shownPreview()->isLayingOut(); },
              [&] {
                  layoutMs = clock.elapsed();
                  pages = shownPreview()->pageCount();
                  shownPreview()->close();
              });
    window.buttonRW->click();

    EXPECT_TRUE(progressShown);
    EXPECT_EQ(progressMaximum, 5000);
    // Timers kept firing while the pages were made: the event loop was never held long.
    EXPECT_GT(ticksDuringLayout, 3);
    EXPECT_GT(pages, 500);
    std::printf("5000 entries: %d pages laid out in %lld ms in the preview\n", pages,
                static_cast<long long>(layoutMs));
    EXPECT_TRUE(launch.prompter.texts().empty());
}

}  // namespace
