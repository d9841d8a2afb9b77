#pragma once
// The program as main() builds it, over recording fakes, in a fresh current folder.

#include <QApplication>
#include <QStringList>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <platform/fakes.h>
#include <xbase/cursor.h>

#include <app/program.h>
#include <store/address_rules.h>
#include "temp_dir.h"
#include "test_paths.h"

namespace apptest {

using testsupport::qpath;

class Launch {
  public:
    // Builds the program with these command-line arguments, the temporary folder being
    // the current folder.
    app::Program& create(const QStringList& arguments = {}) {
        program = std::make_unique<app::Program>(app::Services{prompter, shell, clipboard, dialer},
                                                 app::StartupOptions{arguments, qpath(cwd.path())});
        return *program;
    }
    // Builds it and runs the start-up of the first show.
    app::Program& start(const QStringList& arguments = {}) {
        create(arguments);
        program->mainWindow.runStartup();
        return *program;
    }

    app::MainWindow& window() { return program->mainWindow; }
    store::AddressModule& module() { return program->addressModule; }
    data::DataSet& table() { return program->addressModule.addressTable; }
    QString currentName() { return table().fieldByName("NAME").asString(); }

    testsupport::TempDir cwd;
    platform::FakePrompter prompter;
    platform::FakeShell shell;
    platform::FakeClipboard clipboard;
    platform::FakePhoneDialer dialer;
    std::unique_ptr<app::Program> program;
};

// Writes entries straight through the engine into an address book in `folder`,
// creating the table and its index when missing.
inline void writeEntries(const std::filesystem::path& folder,
                         const std::vector<std::string>& names) {
    const auto path = folder / store::kTableFileName;
    if (!std::filesystem::exists(path)) {
        xbase::createTable(path, xbase::parseFieldList(store::kFieldList));
        xbase::Cursor cursor;
        xbase::OpenOptions exclusive;
        exclusive.mode = xbase::ShareMode::Exclusive;
        cursor.open(path, exclusive);
        cursor.createIndex(store::kTagName, store::kKeyExpression);
    }
    xbase::Cursor cursor;
    cursor.open(path);
    for (const std::string& name : names) {
        cursor.append();
        cursor.setText(cursor.requireField(store::kNameField), name);
        cursor.post();
    }
}

inline uint32_t recordsInFile(const std::filesystem::path& folder) {
    xbase::Cursor cursor;
    cursor.open(folder / store::kTableFileName);
    return cursor.physicalRecordCount();
}

}  // namespace apptest
