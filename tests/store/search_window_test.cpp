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

#include "app_fixture.h"
#include "chooser_driver.h"

namespace {

using linktest::ChooserDriver;

class FindOnTheMainWindow : public ::testing::Test {
  protected:
    void start(const std::vector<testsupport::Entry>& entries = {
                   {"Anna Smith", "12 High Street"}, {"Bob Jones", "Phone: 555-0199"}}) {
        apptest::writeEntries(launch.cwd.path(), entries);
        launch.start();
        ASSERT_FALSE(window().state.firstShow);
    }

    // Find, answered in the chooser with `text` and the memo box as given.
    void find(const QString& text, bool includeMemo) {
        ChooserDriver driver(chooser(), [&](links::ItemChooser& dialog) {
            dialog.answerEdit->setText(text);
            dialog.optionCheck->setChecked(includeMemo);
            dialog.okButton->click();
        });
        window().searchButton->click();
        ASSERT_TRUE(driver.answered());
    }

    // The names in the grid, as its model lists them.
    QStringList gridNames() {
        QStringList names;
        const auto* model = window().nameGrid->model();
        for (int row = 0; row < model->rowCount(); ++row)
            names << model->index(row, 0).data().toString();
        return names;
    }

    app::MainWindow& window() { return launch.window(); }
    links::ItemChooser& chooser() { return launch.program->itemChooser; }
    data::DataSet& table() { return launch.table(); }

    apptest::Launch launch;
};

TEST_F(FindOnTheMainWindow, TheChooserAsksForTheSearchText) {
    start();
    // Left over from an earlier use by a link action.
    chooser().answerEdit->setText("old item");
    chooser().answerEdit->setEnabled(false);
    chooser().optionCheck->setChecked(false);
    window().state.nameOnlySearch = true;

    bool asked = false;
    ChooserDriver driver(chooser(), [&](links::ItemChooser& dialog) {
        asked = true;
        EXPECT_EQ(dialog.windowTitle(), "Search for entries containing:");
        EXPECT_TRUE(dialog.answerEdit->isVisible());
        EXPECT_TRUE(dialog.answerEdit->isEnabled());
        EXPECT_EQ(dialog.answerEdit->text(), "");
        EXPECT_FALSE(dialog.itemCombo->isVisible());
        EXPECT_FALSE(dialog.itemCombo->isEnabled());
        EXPECT_TRUE(dialog.optionCheck->isVisible());
        EXPECT_TRUE(dialog.optionCheck->isChecked());
        EXPECT_EQ(dialog.optionCheck->text(), "include Memo field");
        EXPECT_EQ(dialog.optionCheck->toolTip(), "Search both Name & Memo fields?");
        EXPECT_EQ(dialog.focusWidget(), dialog.answerEdit);
        dialog.answerEdit->setText("smi");
        dialog.cancelButton->click();
    });
    window().searchButton->click();
    EXPECT_TRUE(asked);
    // Cancelled: nothing changes but the name-only mark the search starts by clearing.
    EXPECT_FALSE(table().filtered());
    EXPECT_TRUE(window().state.searchText.isEmpty());
    EXPECT_FALSE(window().state.nameOnlySearch);
    EXPECT_FALSE(window().cancelSearchButton->isEnabled());
    EXPECT_TRUE(launch.prompter.records().empty());
}

TEST_F(FindOnTheMainWindow, AMatchNarrowsTheGridAndEnablesCancelFilter) {
    start();
    find("smi", true);
    EXPECT_EQ(gridNames(), QStringList{"Anna Smith"});
    EXPECT_TRUE(window().cancelSearchButton->isEnabled());
    EXPECT_EQ(window().state.searchText, "SMI");
    // The grid is back on its data and painting.
    EXPECT_EQ(window().nameGrid->dataSource(), &launch.module().addressSource);
    EXPECT_TRUE(window().nameGrid->updatesEnabled());
    EXPECT_FALSE(table().controlsDisabled());

    find("555", true);
    EXPECT_EQ(gridNames(), QStringList{"Bob Jones"});
}

TEST_F(FindOnTheMainWindow, NoMatchSaysSoAndKeepsTheWholeList) {
    start();
    find("555", false);
    EXPECT_EQ(launch.prompter.texts(), std::vector<QString>{"Sorry, no records match"});
    EXPECT_EQ(gridNames(), (QStringList{"Anna Smith", "Bob Jones"}));
    EXPECT_FALSE(window().cancelSearchButton->isEnabled());
    EXPECT_TRUE(window().state.nameOnlySearch);
}

TEST_F(FindOnTheMainWindow, NoMatchAfterAMatchLeavesCancelFilterEnabledUntilPressed) {
    start();
    find("jones", false);
    ASSERT_EQ(gridNames(), QStringList{"Bob Jones"});
    find("zzz", true);
    EXPECT_EQ(gridNames(), (QStringList{"Anna Smith", "Bob Jones"}));
    EXPECT_TRUE(window().cancelSearchButton->isEnabled());
    EXPECT_TRUE(launch.module().lookupTable.active());

    window().cancelSearchButton->click();
    EXPECT_EQ(gridNames(), (QStringList{"Anna Smith", "Bob Jones"}));
    EXPECT_FALSE(window().cancelSearchButton->isEnabled());
    EXPECT_FALSE(launch.module().lookupTable.active());
    EXPECT_EQ(window().state.searchText, "ZZZ");
}

TEST_F(FindOnTheMainWindow, OkWithNoTextChangesNothing) {
    start();
    find("555", true);
    find("", false);
    EXPECT_EQ(gridNames(), QStringList{"Bob Jones"});
    EXPECT_TRUE(window().cancelSearchButton->isEnabled());
    EXPECT_EQ(window().state.searchText, "555");
}

TEST_F(FindOnTheMainWindow, ADoubleQuoteKeepsListButtonAndTextInStep) {
    start({{"Bob \"Bobby\" Jones", ""}, {"Anna Smith", ""}});
    find("\"bobby", false);
    EXPECT_EQ(gridNames(), QStringList{"Bob \"Bobby\" Jones"});
    EXPECT_TRUE(window().cancelSearchButton->isEnabled());
    EXPECT_EQ(window().state.searchText, "\"BOBBY");
    EXPECT_TRUE(launch.prompter.records().empty());

    find("\"", false);
    EXPECT_EQ(gridNames(), QStringList{"Bob \"Bobby\" Jones"});
    window().cancelSearchButton->click();
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
    EXPECT_EQ(window().nameGrid->dataSource(), &launch.module().addressSource);
    EXPECT_TRUE(window().nameGrid->updatesEnabled());
    EXPECT_FALSE(table().controlsDisabled());
    EXPECT_FALSE(window().cancelSearchButton->isEnabled());
}

// An entry saved during a search that the search does not find is kept, but it is not
// left current: the grid highlights a row it shows, and Edit and Delete act on that row.
TEST_F(FindOnTheMainWindow, AnEntrySavedOutsideTheSearchLeavesAVisibleRowCurrent) {
    start({{"Anna Smith", "tanaka san"}, {"Bob Jones", ""}, {"Carl Tanaka", ""}});
    find("tanaka", true);
    ASSERT_EQ(gridNames(), (QStringList{"Anna Smith", "Carl Tanaka"}));
    auto* navigator = window().navigator;
    const auto saveNew = [&](const QString& name) {
        navigator->click(data::DBNavigator::Insert);
        table().fieldByName("NAME").setAsString(name);
        navigator->click(data::DBNavigator::Post);
        ASSERT_EQ(table().state(), data::DataSetState::Browse);
        const int row = window().nameGrid->currentIndex().row();
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
    EXPECT_TRUE(window().memoEditor->toPlainText().isEmpty());
    EXPECT_FALSE(navigator->button(data::DBNavigator::Edit)->isEnabled());
    EXPECT_FALSE(navigator->button(data::DBNavigator::Delete)->isEnabled());

    window().cancelSearchButton->click();
    EXPECT_EQ(gridNames(), (QStringList{"Anna Smith", "Bert Young", "Bob Jones", "Zora"}));
}

}  // namespace
