// The toolbar buttons of the running main window reach the link actions and the name
// exchange: the program as main() builds it, over recording fakes.

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QToolButton>

#include <gtest/gtest.h>

#include <xbase/types.h>

#include <data/navigator.h>

#include <links/item_chooser.h>
#include "app_fixture.h"
#include "chooser_driver.h"

namespace {

using linktest::ChooserDriver;

class WindowLinksTest : public ::testing::Test {
  protected:
    void start(const std::vector<testsupport::Entry>& entries) {
        apptest::writeEntries(launch.cwd.path(), entries);
        launch.start();
        launch.window().show();
    }

    // Clicks a toolbar button whose chooser is answered by `answer`.
    void click(QToolButton* button, const ChooserDriver::Answer& answer) {
        ChooserDriver driver(launch.program->itemChooser, answer);
        button->click();
        EXPECT_TRUE(driver.answered());
    }

    apptest::Launch launch;
};

TEST_F(WindowLinksTest, ProgramMakesTheChooserOnceForTheWindow) {
    start({"Adams"});
    links::ItemChooser& chooser = launch.program->itemChooser;
    EXPECT_EQ(chooser.objectName(), "BtnBottomDlg");
    EXPECT_EQ(launch.window().itemChooser, &chooser);
    EXPECT_EQ(chooser.parentWidget(), &launch.window());
    EXPECT_FALSE(chooser.isVisible());
}

TEST_F(WindowLinksTest, ToolbarButtonsRunTheirActionsOnTheCurrentEntry) {
    start({"Adams", {"Baker", "Tel 555-1234\r\nMail: bo@baker.example\r\nsee www.baker.example"}});
    launch.table().last();

    click(launch.window().emailButton, linktest::pressOk());
    click(launch.window().webButton, linktest::pressOk());
    EXPECT_EQ(launch.shell.targets(),
              (std::vector<QString>{"mailto:bo@baker.example", "www.baker.example"}));

    click(launch.window().dialButton, linktest::pressOk());
    ASSERT_EQ(launch.dialer.calls().size(), 1u);
    EXPECT_EQ(launch.dialer.calls()[0].number, "555-1234");
    EXPECT_EQ(launch.dialer.calls()[0].calledParty, "Baker");

    click(launch.window().openFileButton, linktest::typeAndOk("C:\\x.doc"));
    EXPECT_EQ(launch.prompter.texts().back(), "File C:\\x.doc does NOT exist");
}

TEST_F(WindowLinksTest, TypedNumberIsDialledAndSavedInTheEntry) {
    const xbase::FixedToday today({2031, 12, 31});
    start({"Adams"});
    click(launch.window().dialButton, linktest::typeAndOk("206-555-1234"));
    ASSERT_EQ(launch.dialer.calls().size(), 1u);
    EXPECT_EQ(launch.prompter.texts().back(), "Add 206-555-1234 to entry?");
    EXPECT_EQ(launch.table().state(), data::DataSetState::Browse);
    EXPECT_EQ(launch.table().fieldByName(store::kInfoField).asString(), "Phone: 206-555-1234\r\n");
    EXPECT_EQ(launch.table().fieldByName(store::kLastDateField).asDate(), QDate(2031, 12, 31));
}

TEST_F(WindowLinksTest, ClipboardButtonCopiesTheNameOrPastesIntoIt) {
    start({"Adams", "Baker"});
    launch.window().clipboardButton->click();
    EXPECT_EQ(launch.clipboard.text(), "Adams");

    launch.window().navigator->click(data::DBNavigator::Edit);
    launch.clipboard.setText("Garden Shop\nsecond line");
    launch.window().clipboardButton->click();
    EXPECT_EQ(launch.currentName(), "Garden Shop");
    EXPECT_EQ(launch.table().state(), data::DataSetState::Edit);
    EXPECT_TRUE(launch.prompter.records().empty());
}

}  // namespace
