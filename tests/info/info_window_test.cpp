// The extended information window opened from the main window: by its button and by a
// double click on the grid or the memo, modal, with the main memo's word-wrap look, and
// offering the last search text.

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <data/grid.h>
#include <data/memo.h>
#include <data/navigator.h>

#include <info/entry_info_dialog.h>
#include <info/find_dialog.h>
#include "app_fixture.h"
#include "chooser_driver.h"
#include "when_shown.h"

namespace {

// Runs `look` on the information window once it is up as the modal window, then closes
// it with its Close button.
class InfoDriver : public testsupport::WhenShown {
  public:
    explicit InfoDriver(std::function<void(info::EntryInfoDialog&)> look)
        : WhenShown(
              [] {
                  return qobject_cast<info::EntryInfoDialog*>(QApplication::activeModalWidget());
              },
              [look = std::move(look)](QWidget& window) {
                  auto& info = static_cast<info::EntryInfoDialog&>(window);
                  look(info);
                  info.closeButton->click();
              }) {}
};

class InfoFromTheMainWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        apptest::writeEntries(launch.cwd.path(), {"Adams", "Baker", "Cole"});
        launch.start();
        ASSERT_FALSE(window().state.firstShow);
        window().show();
    }

    app::MainWindow& window() { return launch.window(); }

    apptest::Launch launch;
};

TEST_F(InfoFromTheMainWindow, ItsButtonShowsTheCurrentEntryModally) {
    ASSERT_TRUE(launch.table().findKey("BAKER"));
    QString shownName;
    InfoDriver driver([&](info::EntryInfoDialog& info) {
        shownName = info.nameLabel->text();
        EXPECT_TRUE(info.isModal());
        EXPECT_EQ(info.parentWidget(), &window());
        EXPECT_TRUE(info.memoEditor->wordWrap());
        EXPECT_NE(info.memoEditor->palette().color(QPalette::Base), QColor(255, 255, 0));
    });
    window().infoButton->click();
    EXPECT_TRUE(driver.seen());
    EXPECT_EQ(shownName, "Baker");
    // Made for one showing and gone afterwards.
    EXPECT_TRUE(window().findChildren<info::EntryInfoDialog*>().isEmpty());
}

TEST_F(InfoFromTheMainWindow, DoubleClicksAnywhereOnTheGridAndTheMemoOpenIt) {
    data::DBGrid& grid = *window().nameGrid;
    const auto opens = [](QWidget* area, QPoint at) {
        InfoDriver driver([](info::EntryInfoDialog&) {});
        QTest::mouseDClick(area, Qt::LeftButton, {}, at);
        return driver.seen();
    };
    const QRect row = grid.visualRect(grid.model()->index(1, 0));
    EXPECT_TRUE(opens(grid.viewport(), row.center()));
    EXPECT_EQ(launch.currentName(), "Baker");
    EXPECT_TRUE(opens(window().memoEditor->viewport(), QPoint(20, 10)));
    EXPECT_TRUE(opens(grid.viewport(), QPoint(row.center().x(), grid.viewport()->height() - 4)));
    EXPECT_TRUE(opens(grid.verticalHeader()->viewport(), QPoint(4, row.center().y())));

    // While the entry is edited, in the name cell's editor.
    window().navigator->click(data::DBNavigator::Edit);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, row.center());
    ASSERT_TRUE(grid.cellEditorOpen());
    auto* editor = grid.findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(opens(editor, QPoint(5, 5)));
    EXPECT_EQ(launch.table().state(), data::DataSetState::Edit);
    launch.table().cancel();

    // And on an empty table.
    while (!launch.table().isEmpty()) launch.table().deleteRecord();
    EXPECT_TRUE(opens(grid.viewport(), QPoint(40, 10)));
}

TEST_F(InfoFromTheMainWindow, TheMemoLooksLikeTheMainMemoWithoutWordWrap) {
    window().toggleMemoWordWrap();
    ASSERT_FALSE(window().memoEditor->wordWrap());
    InfoDriver driver([](info::EntryInfoDialog& info) {
        EXPECT_FALSE(info.memoEditor->wordWrap());
        EXPECT_EQ(info.memoEditor->palette().color(QPalette::Base), QColor(255, 255, 0));
        EXPECT_EQ(info.memoEditor->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        EXPECT_EQ(info.memoEditor->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    });
    window().infoButton->click();
    EXPECT_TRUE(driver.seen());
}

TEST_F(InfoFromTheMainWindow, AfterCancelFilterItsFindStartsWithTheLastSearchText) {
    linktest::ChooserDriver chooser(launch.program->itemChooser, [](links::ItemChooser& dialog) {
        dialog.answerEdit->setText("bak");
        dialog.okButton->click();
    });
    window().searchButton->click();
    ASSERT_TRUE(chooser.answered());
    window().cancelSearchButton->click();

    QString offered;
    QString filterLine;
    InfoDriver driver([&](info::EntryInfoDialog& info) {
        info.openFindDialog();
        offered = info.findDialog->findText();
        filterLine = info.filterCountCaption->isHidden() ? "hidden" : "shown";
    });
    window().infoButton->click();
    EXPECT_TRUE(driver.seen());
    EXPECT_EQ(offered, "BAK");
    EXPECT_EQ(filterLine, "hidden");
}

}  // namespace
