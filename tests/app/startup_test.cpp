// Start-up: the title, the data folder, table and index creation, and every way the
// first show can end early.

#include <QCoreApplication>
#include <QDir>

#include <map>

#include <gtest/gtest.h>

#include <platform/help_pages.h>
#include <xbase/error.h>
#include <xbase/inspect.h>

#include <app/startup.h>
#include "app_fixture.h"
#include "table_holder.h"

namespace {

namespace fs = std::filesystem;
using apptest::Launch;
using apptest::qpath;
using platform::Answer;
using platform::MessageKind;

bool fileIn(const fs::path& folder, const std::string& name) {
    return fs::is_regular_file(folder / name);
}

TEST(StartupTitle, SuffixFromTheArgument) {
    EXPECT_EQ(app::composeTitle({}), "Marigold 4.5 Cardhold");
    EXPECT_EQ(app::composeTitle({"FAMILY"}), "Marigold 4.5 - Family");
    EXPECT_EQ(app::composeTitle({"family"}), "Marigold 4.5 - Family");
    // Only a-z and A-Z change case; the rest stays as typed.
    EXPECT_EQ(app::composeTitle({QString::fromUtf8("éCOLE-2B")}),
              QString::fromUtf8("Marigold 4.5 - école-2b"));
    EXPECT_EQ(app::composeTitle({"a", "b"}), "Marigold 4.5 Cardhold");
    const QString longName = QString(120, u'X');
    EXPECT_EQ(app::titleSuffix({longName}), "- X" + QString(99, u'x'));
}

TEST(StartupFolder, RelativeArgumentsJoinTheCurrentFolderAbsoluteOnesStand) {
    EXPECT_EQ(app::dataFolderPath("/home/ann", "Family"), "/home/ann/Family");
    EXPECT_EQ(app::dataFolderPath("/", "Family"), "/Family");
    EXPECT_EQ(app::dataFolderPath("/home/ann", "../bob/Books"), "/home/ann/../bob/Books");
    EXPECT_EQ(app::dataFolderPath("/home/ann", "/srv/books"), "/srv/books");
}

TEST(StartupFolder, LeftoversAreRemovedWhateverTheirLetterCase) {
    testsupport::TempDir dir;
    for (const char* name : {"address.cdx", "Address.FPT", "ADDRESS.TXT"}) {
        testsupport::writeBytes(dir / name, "x");
    }
    app::removeFilesIgnoringCase(qpath(dir.path()), {"ADDRESS.CDX", "ADDRESS.fpt"});
    EXPECT_FALSE(fileIn(dir.path(), "address.cdx"));
    EXPECT_FALSE(fileIn(dir.path(), "Address.FPT"));
    EXPECT_TRUE(fileIn(dir.path(), "ADDRESS.TXT"));
    // Nothing there to remove is no failure.
    app::removeFilesIgnoringCase(qpath(dir.path()), {"ADDRESS.CDX"});
}

TEST(Startup, FirstRunInAnEmptyFolderMakesAnEmptyAddressBook) {
    Launch launch;
    auto& program = launch.start();
    EXPECT_TRUE(launch.prompter.records().empty());
    for (const char* name : {"ADDRESS.DBF", "ADDRESS.fpt", "ADDRESS.CDX"}) {
        EXPECT_TRUE(fileIn(launch.cwd.path(), name)) << name;
    }
    EXPECT_EQ(program.mainWindow.windowTitle(), "Marigold 4.5 Cardhold");
    EXPECT_FALSE(program.mainWindow.state.firstShow);
    EXPECT_EQ(program.mainWindow.state.entryCount, 0);
    EXPECT_TRUE(launch.table().active());
    EXPECT_TRUE(launch.table().isEmpty());
    EXPECT_EQ(launch.table().indexName().toUpper(), "ADDRESS");
    EXPECT_FALSE(launch.table().exclusive());
    EXPECT_FALSE(launch.module().lookupTable.active());
    EXPECT_FALSE(launch.module().lookupTable.exclusive());
    EXPECT_FALSE(launch.module().reportTable.active());
    EXPECT_TRUE(launch.module().reportTable.exclusive());
}

TEST(Startup, MissingFolderIsCreatedAndAnnounced) {
    Launch launch;
    auto& program = launch.start({"family"});
    const QString folder = qpath(launch.cwd.path()) + "/family";
    ASSERT_EQ(launch.prompter.records().size(), 1u);
    EXPECT_EQ(launch.prompter.records()[0].prompt.kind, MessageKind::Information);
    EXPECT_EQ(launch.prompter.records()[0].prompt.text,
              "New directory " + folder + "\r successfully created!");
    for (const char* name : {"ADDRESS.DBF", "ADDRESS.fpt", "ADDRESS.CDX"}) {
        EXPECT_TRUE(fileIn(launch.cwd.path() / "family", name)) << name;
    }
    EXPECT_FALSE(fileIn(launch.cwd.path(), "ADDRESS.DBF"));
    EXPECT_EQ(program.mainWindow.windowTitle(), "Marigold 4.5 - Family");
    EXPECT_EQ(launch.module().dataFolder(), folder);
    EXPECT_EQ(launch.module().lookupTable.databaseName(), folder);
    EXPECT_EQ(launch.module().reportTable.databaseName(), folder);
    EXPECT_EQ(launch.module().engineSettings.defaultFolder, folder);
}

TEST(Startup, ExistingFolderWithATableOpensItInNameOrderSilently) {
    Launch launch;
    fs::create_directory(launch.cwd.path() / "Family");
    apptest::writeEntries(launch.cwd.path() / "Family", {"cole", "Adams", "baker"});
    auto& program = launch.start({"Family"});
    EXPECT_TRUE(launch.prompter.records().empty());
    EXPECT_EQ(program.mainWindow.state.entryCount, 3);
    EXPECT_EQ(launch.currentName(), "Adams");
    launch.table().last();
    EXPECT_EQ(launch.currentName(), "cole");
}

TEST(Startup, AbsoluteArgumentIsUsedAsItStands) {
    Launch launch;
    testsupport::TempDir elsewhere;
    const QString folder = qpath(elsewhere.path()) + "/Books";
    launch.start({folder});
    EXPECT_EQ(launch.prompter.texts(),
              std::vector<QString>{"New directory " + folder + "\r successfully created!"});
    EXPECT_TRUE(fileIn(elsewhere.path() / "Books", "ADDRESS.DBF"));
}

TEST(Startup, TwoArgumentsAreRefusedAndNothingIsCreated) {
    Launch launch;
    auto& program = launch.create({"one", "two"});
    program.mainWindow.show();
    QCoreApplication::processEvents();  // the first show runs the start-up

    ASSERT_EQ(launch.prompter.records().size(), 1u);
    EXPECT_EQ(launch.prompter.records()[0].prompt.kind, MessageKind::Plain);
    EXPECT_EQ(launch.prompter.records()[0].prompt.text,
              "Error:  Too many parameters on command line (only 1 allowed)\r"
              "Please refer to online help at " +
                  platform::helpPageUrl().toString());
    EXPECT_EQ(program.mainWindow.windowTitle(), "Marigold 4.5 Cardhold");
    EXPECT_TRUE(program.mainWindow.endedByStartup());
    EXPECT_FALSE(program.mainWindow.isVisible());
    EXPECT_TRUE(program.mainWindow.state.firstShow);
    EXPECT_TRUE(fs::is_empty(launch.cwd.path()));
    EXPECT_FALSE(launch.table().active());
}

TEST(Startup, FolderThatCannotBeMadeEndsTheProgram) {
    Launch launch;
    auto& program = launch.start({"missing/child"});
    EXPECT_EQ(launch.prompter.texts(),
              std::vector<QString>{"Cannot create directory missing/child"});
    EXPECT_EQ(launch.prompter.records()[0].prompt.kind, MessageKind::Warning);
    EXPECT_TRUE(program.mainWindow.endedByStartup());
    EXPECT_TRUE(fs::is_empty(launch.cwd.path()));
    EXPECT_EQ(program.mainWindow.windowTitle(), "Marigold 4.5 - Missing/child");
}

TEST(Startup, LongArgumentIsCutInTheTitleOnly) {
    Launch launch;
    const QString name = "long" + QString(116, u'N');
    auto& program = launch.start({name});
    EXPECT_EQ(program.mainWindow.windowTitle(), "Marigold 4.5 - Long" + QString(96, u'n'));
    EXPECT_TRUE(fileIn(launch.cwd.path() / name.toStdString(), "ADDRESS.DBF"));
}

TEST(Startup, MissingIndexIsRebuiltAndTheTablePacked) {
    Launch launch;
    const fs::path folder = launch.cwd.path();
    apptest::writeEntries(folder, {"Cole", "Adams", "Gone", "Baker"});
    {
        xbase::Cursor cursor;
        cursor.open(folder / "ADDRESS.DBF");
        cursor.last();  // natural order: Baker; step back onto Gone
        cursor.prior();
        cursor.deleteRecord();
    }
    fs::remove(folder / "ADDRESS.CDX");
    ASSERT_EQ(apptest::recordsInFile(folder), 4u);

    auto& program = launch.start();
    EXPECT_TRUE(launch.prompter.records().empty());
    EXPECT_TRUE(fileIn(folder, "ADDRESS.CDX"));
    EXPECT_EQ(apptest::recordsInFile(folder), 3u);  // the deleted entry is gone for good
    EXPECT_EQ(program.mainWindow.state.entryCount, 3);
    EXPECT_EQ(launch.table().indexName().toUpper(), "ADDRESS");
    EXPECT_FALSE(launch.table().exclusive());
    EXPECT_EQ(launch.currentName(), "Adams");
}

// The rebuild and pack of a missing index write new files: a dangling link planted where
// earlier versions put the new table leads nowhere.
TEST(Startup, ALinkPlantedInAFolderWithoutAnIndexCreatesNothingElsewhere) {
    Launch launch;
    const fs::path folder = launch.cwd.path();
    testsupport::TempDir home;
    apptest::writeEntries(folder, {"Adams", "Baker"});
    fs::remove(folder / "ADDRESS.CDX");
    fs::create_symlink(home / ".xsessionrc", folder / "ADDRESS.DBF.packing");

    launch.start();
    EXPECT_TRUE(launch.prompter.records().empty());
    EXPECT_TRUE(fileIn(folder, "ADDRESS.CDX"));
    EXPECT_EQ(launch.currentName(), "Adams");
    EXPECT_TRUE(fs::is_empty(home.path()));
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder / "ADDRESS.DBF.packing")));
}

TEST(Startup, LeftoverIndexAndMemoFilesMakeWayForANewTable) {
    Launch launch;
    const fs::path folder = launch.cwd.path();
    testsupport::writeBytes(folder / "address.cdx", "not an index");
    testsupport::writeBytes(folder / "ADDRESS.FPT", "not a memo file");

    launch.start();
    EXPECT_TRUE(launch.prompter.records().empty());
    EXPECT_FALSE(fileIn(folder, "address.cdx"));
    EXPECT_FALSE(fileIn(folder, "ADDRESS.FPT"));
    EXPECT_TRUE(launch.table().active());
    // The new files work: an entry with a memo goes in and reads back.
    launch.table().insert();
    launch.table().fieldByName("NAME").setAsString("Adams");
    launch.table().fieldByName("INFO").setAsString("12 Elm Street");
    launch.table().post();
    EXPECT_EQ(launch.table().fieldByName("INFO").asString(), "12 Elm Street");
}

TEST(Startup, TableHeldByAnotherProgramShowsTheEngineErrorAndKeepsTheWindow) {
    Launch launch;
    const fs::path folder = launch.cwd.path();
    apptest::writeEntries(folder, {"Adams"});
    testsupport::TableHolder other(folder / "ADDRESS.DBF", xbase::ShareMode::Exclusive);
    ASSERT_TRUE(other.ok());
    QString engineText;
    try {
        xbase::Cursor cursor;
        cursor.open(folder / "ADDRESS.DBF");
    } catch (const xbase::Error& failure) {
        engineText = QString::fromUtf8(failure.what());
    }
    ASSERT_FALSE(engineText.isEmpty());

    auto& program = launch.create();
    program.mainWindow.show();
    QCoreApplication::processEvents();
    ASSERT_EQ(launch.prompter.records().size(), 1u);
    EXPECT_EQ(launch.prompter.records()[0].prompt.kind, MessageKind::Error);
    EXPECT_EQ(launch.prompter.records()[0].prompt.text, engineText);
    EXPECT_TRUE(program.mainWindow.isVisible());
    EXPECT_FALSE(program.mainWindow.endedByStartup());
    EXPECT_TRUE(program.mainWindow.state.firstShow);
    EXPECT_FALSE(launch.table().active());
}

// A memo file gone is no damage the program can mend: maybe the user forgot to copy it.
TEST(Startup, MissingMemoFileIsReportedAndNothingIsMadeAnew) {
    Launch launch;
    const fs::path folder = launch.cwd.path();
    apptest::writeEntries(folder, {"Adams", "Baker", "Cole"});
    fs::remove(folder / "ADDRESS.fpt");
    const auto before = testsupport::readBytes(folder / "ADDRESS.DBF");

    auto& program = launch.start();
    ASSERT_EQ(launch.prompter.records().size(), 1u);
    EXPECT_EQ(launch.prompter.records()[0].prompt.kind, MessageKind::Error);
    EXPECT_TRUE(launch.prompter.texts()[0].contains("ADDRESS"));
    EXPECT_TRUE(program.mainWindow.state.firstShow);
    EXPECT_EQ(testsupport::readBytes(folder / "ADDRESS.DBF"), before);
    EXPECT_FALSE(fileIn(folder, "ADDRESS.fpt"));
}

// A damaged index or table is mended only when the user says yes: the index is built
// again; the table is repaired after its files are copied aside, and the user is told
// where the copy is and what was lost.
TEST(Startup, DamagedFilesAreMendedOnlyWhenTheUserAgrees) {
    for (const std::string damage : {"index", "table"}) {
        for (const Answer answer : {Answer::No, Answer::Yes}) {
            SCOPED_TRACE(damage + (answer == Answer::Yes ? ", mended" : ", declined"));
            Launch launch;
            const fs::path folder = launch.cwd.path();
            apptest::writeEntries(folder, {"Adams", "Baker", "Zo\xeb"});  // ë in the code page
            if (damage == "index") {
                std::string cdx = testsupport::readBytes(folder / "ADDRESS.CDX");
                cdx.replace(0x600, 16, std::string(16, 'X'));  // the tag's key length and more
                testsupport::writeBytes(folder / "ADDRESS.CDX", cdx);
            } else {  // the last record cut off part-way, as by a full disk
                fs::resize_file(folder / "ADDRESS.DBF", fs::file_size(folder / "ADDRESS.DBF") - 40);
            }
            std::map<std::string, std::string> before;
            for (const auto& file : fs::directory_iterator(folder))
                before[file.path().filename().string()] = testsupport::readBytes(file.path());
            launch.prompter.queueAnswer(answer);

            auto& program = launch.start();
            ASSERT_GE(launch.prompter.records().size(), 1u);
            EXPECT_EQ(launch.prompter.records()[0].prompt.kind, MessageKind::Confirmation);
            EXPECT_TRUE(
                launch.prompter.texts()[0].contains(damage == "index" ? "ADDRESS.CDX" : "damaged"));
            if (answer == Answer::No) {
                EXPECT_EQ(launch.prompter.records().size(), 1u);
                EXPECT_TRUE(program.mainWindow.state.firstShow);
                EXPECT_FALSE(launch.table().active());
                std::map<std::string, std::string> after;
                for (const auto& file : fs::directory_iterator(folder))
                    after[file.path().filename().string()] = testsupport::readBytes(file.path());
                EXPECT_EQ(after, before);  // not a byte changed, no copy made
                continue;
            }
            EXPECT_FALSE(program.mainWindow.state.firstShow);
            EXPECT_TRUE(launch.table().active());
            EXPECT_TRUE(xbase::checkTable(folder / "ADDRESS.DBF").ok());
            if (damage == "index") {
                EXPECT_EQ(launch.prompter.records().size(), 1u);
                EXPECT_EQ(program.mainWindow.state.entryCount, 3);
            } else {
                ASSERT_EQ(launch.prompter.records().size(), 2u);
                EXPECT_EQ(program.mainWindow.state.entryCount, 2);  // Zoë was cut off
                fs::path copy;
                for (const auto& file : fs::directory_iterator(folder))
                    if (file.is_directory()) copy = file.path();
                ASSERT_FALSE(copy.empty());
                EXPECT_EQ(testsupport::readBytes(copy / "ADDRESS.DBF"), before["ADDRESS.DBF"]);
                EXPECT_TRUE(launch.prompter.texts()[1].contains(qpath(copy)));
                EXPECT_TRUE(launch.prompter.texts()[1].contains(QStringLiteral("Zoë")))
                    << launch.prompter.texts()[1].toStdString();
            }
        }
    }
}

TEST(Startup, RunsOnceOnTheFirstShow) {
    Launch launch;
    auto& program = launch.create();
    EXPECT_EQ(program.itemChooser.objectName(), "BtnBottomDlg");
    EXPECT_FALSE(program.itemChooser.isVisible());
    EXPECT_FALSE(launch.table().active());  // nothing opens before the first show
    program.mainWindow.show();
    QCoreApplication::processEvents();
    EXPECT_FALSE(program.mainWindow.state.firstShow);
    EXPECT_TRUE(launch.table().active());

    // A later show does not start again: the entry added meanwhile stays current.
    apptest::writeEntries(launch.cwd.path(), {"Adams"});
    launch.table().last();
    program.mainWindow.hide();
    program.mainWindow.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(launch.currentName(), "Adams");
    EXPECT_EQ(program.mainWindow.state.entryCount, 0);
}

}  // namespace
