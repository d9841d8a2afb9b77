// Find and Cancel Filter on the main window: the item chooser set up for the question,
// the grid's rows and the Cancel Filter button after each kind of answer.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <data/grid.h>
#include <data/memo.h>
#include <data/navigator.h>

#include "../app/app_fixture.h"
#include "../links/chooser_driver.h"

namespace {

using linktest::ChooserDriver;

class FindOnTheMainWindow : public ::testing::Test {
  protected:
    void start(const std::vector<std::pair<std::string, std::string>>& entries = {
                   {"Anna Smith", "12 High Street"}, {"Bob Jones", "Phone: 555-0199"}}) {
        apptest::writeEntries(launch.cwd.path(), {});
        xbase::Cursor cursor;
        cursor.open(launch.cwd.path() / store::kTableFileName);
        for (const auto& [name, memo] : entries) {
            cursor.append();
            cursor.setText(cursor.requireField(store::kNameField), name);
            cursor.setMemo(cursor.requireField(store::kInfoField), memo);
            cursor.post();
        }
        cursor.close();
        launch.start();
        ASSERT_FALSE(window().state.FirstShow);
    }

    // Find, answered in the chooser with `text` and the memo box as given.
    void find(const QString& text, bool includeMemo) {
        ChooserDriver driver(chooser(), [&](links::TBtnBottomDlg& dialog) {
            dialog.Edit1->setText(text);
            dialog.CheckAll->setChecked(includeMemo);
            dialog.OKBtn->click();
        });
        window().FindSpeed->click();
        ASSERT_TRUE(driver.answered());
    }

    // The names in the grid, as its model lists them.
    QStringList gridNames() {
        QStringList names;
        const auto* model = window().DexGrid->model();
        for (int row = 0; row < model->rowCount(); ++row)
            names << model->index(row, 0).data().toString();
        return names;
    }

    app::TZiDuv& window() { return launch.window(); }
    links::TBtnBottomDlg& chooser() { return launch.program->BtnBottomDlg; }
    data::DataSet& table() { return launch.table(); }

    apptest::Launch launch;
};

TEST_F(FindOnTheMainWindow, TheChooserAsksForTheSearchText) {
    start();
    // Left over from an earlier use by a link action.
    chooser().Edit1->setText("old item");
    chooser().Edit1->setEnabled(false);
    chooser().CheckAll->setChecked(false);
    window().state.Tag = 3;

    bool asked = false;
    ChooserDriver driver(chooser(), [&](links::TBtnBottomDlg& dialog) {
        asked = true;
        EXPECT_EQ(dialog.windowTitle(), "Search for entries containing:");
        EXPECT_TRUE(dialog.Edit1->isVisible());
        EXPECT_TRUE(dialog.Edit1->isEnabled());
        EXPECT_EQ(dialog.Edit1->text(), "");
        EXPECT_FALSE(dialog.ComboBox1->isVisible());
        EXPECT_FALSE(dialog.ComboBox1->isEnabled());
        EXPECT_TRUE(dialog.CheckAll->isVisible());
        EXPECT_TRUE(dialog.CheckAll->isChecked());
        EXPECT_EQ(dialog.CheckAll->text(), "include Memo field");
        EXPECT_EQ(dialog.CheckAll->toolTip(), "Search both Name & Memo fields?");
        EXPECT_EQ(dialog.focusWidget(), dialog.Edit1);
        dialog.Edit1->setText("smi");
        dialog.CancelBtn->click();
    });
    window().FindSpeed->click();
    EXPECT_TRUE(asked);
    // Cancelled: nothing changes but the Tag the search starts with.
    EXPECT_FALSE(table().filtered());
    EXPECT_TRUE(window().state.SearchText.isEmpty());
    EXPECT_EQ(window().state.Tag, 0);
    EXPECT_FALSE(window().NoFilterSpeed->isEnabled());
    EXPECT_TRUE(launch.prompter.records().empty());
}

TEST_F(FindOnTheMainWindow, AMatchNarrowsTheGridAndEnablesCancelFilter) {
    start();
    find("smi", true);
    EXPECT_EQ(gridNames(), QStringList{"Anna Smith"});
    EXPECT_TRUE(window().NoFilterSpeed->isEnabled());
    EXPECT_EQ(window().state.SearchText, "SMI");
    // The grid is back on its data and painting.
    EXPECT_EQ(window().DexGrid->dataSource(), &launch.module().dsAddress);
    EXPECT_TRUE(window().DexGrid->updatesEnabled());
    EXPECT_FALSE(table().controlsDisabled());

    find("555", true);
    EXPECT_EQ(gridNames(), QStringList{"Bob Jones"});
}

TEST_F(FindOnTheMainWindow, NoMatchSaysSoAndKeepsTheWholeList) {
    start();
    find("555", false);
    EXPECT_EQ(launch.prompter.texts(), std::vector<QString>{"Sorry, no records match"});
    EXPECT_EQ(gridNames(), (QStringList{"Anna Smith", "Bob Jones"}));
    EXPECT_FALSE(window().NoFilterSpeed->isEnabled());
    EXPECT_EQ(window().state.Tag, 66);
}

TEST_F(FindOnTheMainWindow, NoMatchAfterAMatchLeavesCancelFilterEnabledUntilPressed) {
    start();
    find("jones", false);
    ASSERT_EQ(gridNames(), QStringList{"Bob Jones"});
    find("zzz", true);
    EXPECT_EQ(gridNames(), (QStringList{"Anna Smith", "Bob Jones"}));
    EXPECT_TRUE(window().NoFilterSpeed->isEnabled());
    EXPECT_TRUE(launch.module().tblFilter.active());

    window().NoFilterSpeed->click();
    EXPECT_EQ(gridNames(), (QStringList{"Anna Smith", "Bob Jones"}));
    EXPECT_FALSE(window().NoFilterSpeed->isEnabled());
    EXPECT_FALSE(launch.module().tblFilter.active());
    EXPECT_EQ(window().state.SearchText, "ZZZ");
}

TEST_F(FindOnTheMainWindow, OkWithNoTextChangesNothing) {
    start();
    find("555", true);
    find("", false);
    EXPECT_EQ(gridNames(), QStringList{"Bob Jones"});
    EXPECT_TRUE(window().NoFilterSpeed->isEnabled());
    EXPECT_EQ(window().state.SearchText, "555");
}

TEST_F(FindOnTheMainWindow, ADoubleQuoteKeepsListButtonAndTextInStep) {
    start({{"Bob \"Bobby\" Jones", ""}, {"Anna Smith", ""}});
    find("\"bobby", false);
    EXPECT_EQ(gridNames(), QStringList{"Bob \"Bobby\" Jones"});
    EXPECT_TRUE(window().NoFilterSpeed->isEnabled());
    EXPECT_EQ(window().state.SearchText, "\"BOBBY");
    EXPECT_TRUE(launch.prompter.records().empty());

    find("\"", false);
    EXPECT_EQ(gridNames(), QStringList{"Bob \"Bobby\" Jones"});
    window().NoFilterSpeed->click();
    EXPECT_EQ(gridNames().size(), 2);
}

TEST_F(FindOnTheMainWindow, AnEngineFailureIsShownAndTheGridComesBack) {
    start();
    // Cut off the last memo block, Bob's: his memo now lies beyond the end of the file.
    const auto memoFile = launch.cwd.path() / store::kMemoFileName;
    std::filesystem::resize_file(memoFile, std::filesystem::file_size(memoFile) - 64);
    find("555", true);
    ASSERT_EQ(launch.prompter.records().size(), 1u);
    EXPECT_EQ(launch.prompter.records()[0].prompt.kind, platform::MessageKind::Error);
    EXPECT_EQ(gridNames(), (QStringList{"Anna Smith", "Bob Jones"}));
    EXPECT_EQ(window().DexGrid->dataSource(), &launch.module().dsAddress);
    EXPECT_TRUE(window().DexGrid->updatesEnabled());
    EXPECT_FALSE(table().controlsDisabled());
    EXPECT_FALSE(window().NoFilterSpeed->isEnabled());
}

// An entry saved during a search that the search does not find is kept, but it is not
// left current: the grid highlights a row it shows, and Edit and Delete act on that row.
TEST_F(FindOnTheMainWindow, AnEntrySavedOutsideTheSearchLeavesAVisibleRowCurrent) {
    start({{"Anna Smith", "tanaka san"}, {"Bob Jones", ""}, {"Carl Tanaka", ""}});
    find("tanaka", true);
    ASSERT_EQ(gridNames(), (QStringList{"Anna Smith", "Carl Tanaka"}));
    auto* navigator = window().DBNavigator1;
    const auto saveNew = [&](const QString& name) {
        navigator->click(data::DBNavigator::Insert);
        table().fieldByName("NAME").setAsString(name);
        navigator->click(data::DBNavigator::Post);
        ASSERT_EQ(table().state(), data::DataSetState::Browse);
        const int row = window().DexGrid->currentIndex().row();
        ASSERT_GE(row, 0);
        EXPECT_EQ(gridNames().value(row), launch.currentName());
    };
    saveNew("Bert Young");
    EXPECT_EQ(launch.currentName(), "Carl Tanaka");  // the row after its place
    navigator->click(data::DBNavigator::Edit);
    EXPECT_EQ(table().state(), data::DataSetState::Edit);
    EXPECT_EQ(launch.currentName(), "Carl Tanaka");
    navigator->click(data::DBNavigator::Cancel);

    saveNew("Zora");  // after the last row: the last row
    EXPECT_EQ(launch.currentName(), "Carl Tanaka");
    launch.prompter.queueAnswer(platform::Answer::Ok);
    navigator->click(data::DBNavigator::Delete);
    EXPECT_EQ(gridNames(), QStringList{"Anna Smith"});

    // The last row found edited out of the search: nothing is current, nothing editable.
    navigator->click(data::DBNavigator::Edit);
    table().fieldByName("INFO").setAsString("");
    navigator->click(data::DBNavigator::Post);
    EXPECT_TRUE(gridNames().isEmpty());
    EXPECT_TRUE(launch.currentName().isEmpty());
    EXPECT_TRUE(window().DBMemo1->toPlainText().isEmpty());
    EXPECT_FALSE(navigator->button(data::DBNavigator::Edit)->isEnabled());
    EXPECT_FALSE(navigator->button(data::DBNavigator::Delete)->isEnabled());

    window().NoFilterSpeed->click();
    EXPECT_EQ(gridNames(), (QStringList{"Anna Smith", "Bert Young", "Bob Jones", "Zora"}));
}

}  // namespace
