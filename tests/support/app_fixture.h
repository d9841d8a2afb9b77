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
#include "entry_writer.h"
#include "temp_dir.h"
#include "test_paths.h"

namespace apptest {

using testsupport::qpath;

class Launch {
  public:
    // Builds the program with these command-line arguments, the temporary folder being
    // the current folder.
    app::Program& create(const QStringList& arguments = {}) {
        program = std::make_unique<app::Program>(
            app::Services{prompter, shell, clipboard, dialer, dialogs, &secrets},
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
    // The file dialogs the window asks with; none: Qt's own (set before create()).
    playlist::StandardDialogs* dialogs = nullptr;
    platform::FakeSecretStore secrets;
    std::unique_ptr<app::Program> program;
};

using testsupport::recordsInFile;
using testsupport::writeEntries;

}  // namespace apptest
