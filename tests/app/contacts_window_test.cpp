// Contacts in and out through the main window: the grid menu's import and export items,
// files dropped on the window, and a vCard file the program is opened with.

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>
#include <QUrl>

#include <fstream>

#include <gtest/gtest.h>

#include <data/grid.h>
#include <platform/regular_file.h>

#include <app/contacts_actions.h>
#include <app/startup.h>
#include "app_fixture.h"
#include "scripted_dialogs.h"
#include "when_shown.h"

namespace {

namespace fs = std::filesystem;
using apptest::qpath;
using data::DataSetState;
using platform::Answer;
using platform::MessageKind;

const char kTwoCards[] =
    "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lovelace;Ada;;;\r\nFN:Ada Lovelace\r\n"
    "TEL;TYPE=HOME:+44 20 7946 0018\r\nEMAIL:ada@example.org\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Babbage;Charles\r\nTEL;CELL;VOICE:555-0199\r\n"
    "END:VCARD\r\n";

class ContactsWindow : public ::testing::Test {
  protected:
    void start(const QStringList& arguments = {}) {
        apptest::writeEntries(launch.cwd.path(), {"Cole", "Adams", "Baker"});
        launch.dialogs = &dialogs;
        launch.start(arguments);
        ASSERT_FALSE(window().state.firstShow);
    }
    QString file(const std::string& name, const std::string& content) {
        const fs::path path = launch.cwd.path() / name;
        std::ofstream(path, std::ios::binary) << content;
        return qpath(path);
    }
    void choose(const char* item) {
        QAction* action = window().gridMenu->findChild<QAction*>(item);
        ASSERT_NE(action, nullptr) << item;
        action->trigger();
    }
    // The items the grid's menu shows as it opens.
    QStringList menuItems() {
        emit window().gridMenu->aboutToShow();
        QStringList texts;
        for (QAction* action : window().gridMenu->actions())
            if (action->isVisible()) texts << action->text();
        return texts;
    }
    QStringList names() {
        QStringList shown;
        for (int row = 0; row < table().visibleCount(); ++row)
            shown << table().fieldTextAt(row, "NAME").trimmed();
        return shown;
    }

    app::MainWindow& window() { return launch.window(); }
    data::DataSet& table() { return launch.table(); }

    apptest::Launch launch;
    testsupport::ScriptedDialogs dialogs;
};

TEST_F(ContactsWindow, AnImportLandsInTheGridOnTheFirstNewEntry) {
    start();
    dialogs.openManyAnswers.push_back(QStringList{file("phone.vcf", kTwoCards)});
    choose("importContactsItem");
    ASSERT_EQ(dialogs.openManyDialogs.size(), 1u);
    EXPECT_TRUE(dialogs.openManyDialogs[0].filter.contains("*.vcf"));
    EXPECT_TRUE(dialogs.openManyDialogs[0].filter.contains("*.csv"));

    EXPECT_EQ(names(),
              QStringList({"Adams", "Babbage, Charles", "Baker", "Cole", "Lovelace, Ada"}));
    EXPECT_EQ(launch.currentName().trimmed(), "Lovelace, Ada");
    EXPECT_EQ(window().state.entryCount, 5);
    EXPECT_EQ(table().fieldByName("INFO").asString(),
              "Home: +44 20 7946 0018\r\nEmail: ada@example.org");
    ASSERT_EQ(launch.prompter.records().size(), 1u);
    EXPECT_EQ(launch.prompter.records()[0].prompt.kind, MessageKind::Information);
    EXPECT_TRUE(launch.prompter.texts()[0].contains("2 added"));
    // The same file again: both already there, nothing doubled.
    dialogs.openManyAnswers.push_back(QStringList{qpath(launch.cwd.path() / "phone.vcf")});
    choose("importContactsItem");
    EXPECT_EQ(window().state.entryCount, 5);
    EXPECT_TRUE(launch.prompter.texts().back().contains("2 already there"));
}

TEST_F(ContactsWindow, CardsThatDidNotComeOverExactlyAreListedInTheReport) {
    start();
    QString lines;
    testsupport::WhenShown report(testsupport::activeModalWindow, [&](QWidget& shown) {
        if (auto* text = shown.findChild<QPlainTextEdit*>("ImportLines"))
            lines = text->toPlainText();
        static_cast<QDialog&>(shown).accept();
    });
    const std::string withPhotoAndDamage =
        std::string(kTwoCards) +
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Cole\r\nNOTE:Another\r\n"
        "PHOTO;ENCODING=b:AAAA\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Broken\r\n";
    EXPECT_TRUE(window().contactsActions->importFiles({file("mixed.vcf", withPhotoAndDamage)}));
    EXPECT_TRUE(report.seen());
    EXPECT_TRUE(lines.contains("Cole (2)")) << lines.toStdString();
    EXPECT_TRUE(lines.contains("PHOTO")) << lines.toStdString();
    EXPECT_TRUE(lines.contains("Broken")) << lines.toStdString();
    EXPECT_EQ(window().state.entryCount, 6);
}

TEST_F(ContactsWindow, ARefusedFileLeavesTheTableAndTheCurrentEntryAlone) {
    start();
    table().findKey("BAKER");
    const fs::path folder = launch.cwd.path();
    const std::string before = platform::readRegularFile(folder / "ADDRESS.DBF", 1 << 20);
    EXPECT_FALSE(window().contactsActions->importFiles({file("junk.csv", "not,a\n1,2\n")}));
    EXPECT_FALSE(window().contactsActions->importFiles({qpath(folder / "missing.vcf")}));

    ASSERT_EQ(launch.prompter.records().size(), 2u);
    for (const auto& record : launch.prompter.records()) {
        EXPECT_EQ(record.prompt.kind, MessageKind::Warning);
        EXPECT_TRUE(record.prompt.text.startsWith("Nothing was imported."))
            << record.prompt.text.toStdString();
    }
    EXPECT_TRUE(launch.prompter.texts()[0].contains("junk.csv"));
    EXPECT_TRUE(launch.prompter.texts()[1].contains("missing.vcf: cannot be read"));
    EXPECT_EQ(platform::readRegularFile(folder / "ADDRESS.DBF", 1 << 20), before);
    EXPECT_EQ(launch.currentName().trimmed(), "Baker");
    EXPECT_EQ(window().state.entryCount, 3);
}

TEST_F(ContactsWindow, ImportingWhileEditingAsksToSaveFirst) {
    start();
    table().edit();
    table().fieldByName("NAME").setAsString("Adamson");
    const QString cards = file("phone.vcf", kTwoCards);

    launch.prompter.queueAnswer(Answer::Cancel);
    EXPECT_FALSE(window().contactsActions->importFiles({cards}));
    ASSERT_EQ(launch.prompter.records().size(), 1u);
    EXPECT_EQ(launch.prompter.texts()[0],
              "The entry \"Adamson\" has not been saved.\rSave it before importing?");
    EXPECT_EQ(table().state(), DataSetState::Edit);
    EXPECT_EQ(window().state.entryCount, 3);

    launch.prompter.queueAnswer(Answer::Yes);
    EXPECT_TRUE(window().contactsActions->importFiles({cards}));
    EXPECT_EQ(names(),
              QStringList({"Adamson", "Babbage, Charles", "Baker", "Cole", "Lovelace, Ada"}));
}

TEST_F(ContactsWindow, ExportShownIsOfferedWhileASearchIsOnAndAnImportEndsTheSearch) {
    start();
    const QStringList always{"Import contacts…", "Export all…", "Export selected…", "", "S&ync…"};
    EXPECT_EQ(menuItems(), always);
    table().setFilter("upper(Name) = 'COLE'");
    table().setFiltered(true);
    ASSERT_EQ(names(), QStringList({"Cole"}));
    EXPECT_EQ(menuItems(), QStringList({"Import contacts…", "Export all…", "Export shown…",
                                        "Export selected…", "", "S&ync…"}));
    const fs::path out = launch.cwd.path() / "found.vcf";
    dialogs.saveAnswers.push_back(qpath(out));
    choose("exportShownItem");
    EXPECT_TRUE(launch.prompter.texts().back().startsWith("1 entry written"));

    EXPECT_TRUE(window().contactsActions->importFiles({file("phone.vcf", kTwoCards)}));
    EXPECT_FALSE(table().filtered());
    EXPECT_EQ(names().size(), 5);
    EXPECT_EQ(menuItems(), always);
}

TEST_F(ContactsWindow, ExportSelectedWritesOnlyTheSelectedEntries) {
    start();
    for (const char* key : {"ADAMS", "COLE"}) {
        ASSERT_TRUE(table().findKey(key));
        window().nameGrid->setRowSelected(table().bookmark(), true);
    }
    const fs::path out = launch.cwd.path() / "chosen.csv";
    dialogs.saveAnswers.push_back(qpath(out));
    choose("exportSelectedItem");
    ASSERT_EQ(dialogs.saveDialogs.size(), 1u);
    EXPECT_TRUE(dialogs.saveDialogs[0].filter.contains("*.vcf"));

    const std::string written = platform::readRegularFile(out, 1 << 20);
    EXPECT_NE(written.find("Adams"), std::string::npos);
    EXPECT_NE(written.find("Cole"), std::string::npos);
    EXPECT_EQ(written.find("Baker"), std::string::npos);
    EXPECT_EQ(launch.prompter.records().back().prompt.kind, MessageKind::Information);
    EXPECT_TRUE(launch.prompter.texts().back().startsWith("2 entries written"));
}

TEST_F(ContactsWindow, ExportAllThenImportIntoAnotherBookGivesTheSameEntries) {
    start();
    const fs::path out = launch.cwd.path() / "all.vcf";
    dialogs.saveAnswers.push_back(qpath(out));
    choose("exportAllItem");
    // A cancelled dialog writes nothing and says nothing.
    choose("exportAllItem");
    ASSERT_EQ(launch.prompter.records().size(), 1u);

    apptest::Launch other;
    other.start({"other"});
    EXPECT_TRUE(other.window().contactsActions->importFiles({qpath(out)}));
    EXPECT_EQ(other.window().state.entryCount, 3);
    EXPECT_TRUE(other.table().findKey("BAKER"));
}

TEST_F(ContactsWindow, DroppedContactFilesAreImportedOthersRefused) {
    start();
    QMimeData contacts;
    contacts.setUrls({QUrl::fromLocalFile(file("phone.vcf", kTwoCards))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &contacts, Qt::LeftButton, {});
    QApplication::sendEvent(&window(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &contacts, Qt::LeftButton, {});
    QApplication::sendEvent(&window(), &drop);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window().state.entryCount == 5; }));

    QMimeData text;
    text.setUrls({QUrl::fromLocalFile(file("notes.txt", "hello"))});
    EXPECT_TRUE(app::ContactsActions::contactFiles(text).isEmpty());
    QDragEnterEvent refused(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, {});
    refused.setAccepted(false);
    QApplication::sendEvent(&window(), &refused);
    EXPECT_FALSE(refused.isAccepted());
}

TEST_F(ContactsWindow, AVCardFileOnTheCommandLineIsImportedAfterAsking) {
    const QString cards = file("phone.vcf", kTwoCards);
    launch.prompter.queueAnswer(Answer::Yes);
    start({"book", cards});
    EXPECT_EQ(window().windowTitle(), "Marigold 4.5 - Book");
    ASSERT_GE(launch.prompter.records().size(), 2u);
    EXPECT_TRUE(launch.prompter.texts()[launch.prompter.texts().size() - 2].contains("phone.vcf"));
    EXPECT_EQ(window().state.entryCount, 2);
    EXPECT_TRUE(fs::exists(launch.cwd.path() / "book" / "ADDRESS.DBF"));
}

TEST(ContactsCommandLine, AVCardFileIsTakenOffTheArguments) {
    testsupport::TempDir dir;
    const fs::path card = dir.path() / "card.txt";  // a vCard by its content
    std::ofstream(card) << "\xEF\xBB\xBF\r\nBEGIN:VCARD\r\n";
    const QString cwd = qpath(dir.path());

    const app::ContactsCommandLine alone = app::takeVCardFile({"card.txt"}, cwd, "/home/u");
    EXPECT_EQ(alone.arguments, QStringList({"Cardhold"}));
    EXPECT_EQ(alone.currentFolder, "/home/u");
    EXPECT_EQ(alone.vCardFile, qpath(card));

    const app::ContactsCommandLine behind = app::takeVCardFile({"Book", "card.txt"}, cwd, "/h");
    EXPECT_EQ(behind.arguments, QStringList({"Book"}));
    EXPECT_EQ(behind.currentFolder, cwd);

    // A folder, a missing file, or one argument too many stay for the folder rules.
    for (const QStringList& left :
         {QStringList{"Book"}, QStringList{"missing.vcf"}, QStringList{"a", "b", "card.txt"}})
        EXPECT_TRUE(app::takeVCardFile(left, cwd, "/h").vCardFile.isEmpty());
}

}  // namespace
