// Contacts in and out through the main window, 10,000 generated entries: the import of a
// vCard file into an empty address book the window has open (the table closed, filled and
// opened again, the grid on the first new entry), and the export of every entry.

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <filesystem>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include <platform/fakes.h>
#include <playlist/standard_dialogs.h>

#include <app/contacts_actions.h>
#include <app/program.h>
#include <store/address_book.h>
#include <store/contacts_exchange.h>

namespace {

namespace fs = std::filesystem;
constexpr uint32_t kEntries = 10000;

fs::path toPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// The save dialog answers with one file; nothing else is asked.
class SaveTo : public playlist::StandardDialogs {
  public:
    QString file;
    std::optional<QString> inputBox(QWidget*, const QString&, const QString&, const QString&,
                                    int) override {
        return std::nullopt;
    }
    std::optional<QString> openFileName(QWidget*, const playlist::FileDialogSettings&) override {
        return std::nullopt;
    }
    std::optional<QStringList> openFileNames(QWidget*,
                                             const playlist::FileDialogSettings&) override {
        return std::nullopt;
    }
    std::optional<QString> saveFileName(QWidget*, const playlist::FileDialogSettings&) override {
        return file;
    }
};

const QTemporaryDir& scratch() {
    static QTemporaryDir root;
    static const bool made = [] {
        const fs::path book = toPath(root.path()) / "book";
        fs::create_directory(book);
        store::GenerateOptions options;
        options.count = kEntries;
        store::generateAddressBook(book, options);
        store::exportContacts(book, toPath(root.path()) / "all.vcf");
        return true;
    }();
    (void)made;
    return root;
}

struct Window {
    platform::FakePrompter prompter;
    platform::FakeShell shell;
    platform::FakeClipboard clipboard;
    platform::FakePhoneDialer dialer;
    SaveTo dialogs;
    std::unique_ptr<app::Program> program;

    explicit Window(const QString& folder) {
        program = std::make_unique<app::Program>(
            app::Services{prompter, shell, clipboard, dialer, &dialogs},
            app::StartupOptions{{folder}, scratch().path()});
        program->mainWindow.runStartup();
    }
    app::ContactsActions& actions() { return *program->mainWindow.contactsActions; }
};

void ImportThroughTheWindow(benchmark::State& state) {
    const QString file = scratch().path() + QStringLiteral("/all.vcf");
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Window window(scratch().path() + QStringLiteral("/import-%1").arg(round++));
        state.ResumeTiming();
        window.actions().importFiles({file});
        state.PauseTiming();
        if (window.program->mainWindow.state.entryCount != int(kEntries))
            state.SkipWithError(window.prompter.texts().back().toStdString().c_str());
        window.program.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(ImportThroughTheWindow)->Unit(benchmark::kMillisecond);

void ExportAllThroughTheWindow(benchmark::State& state) {
    Window window(scratch().path() + QStringLiteral("/book"));
    window.dialogs.file = scratch().path() + QStringLiteral("/out.vcf");
    for (auto _ : state) window.actions().exportEntries(app::ContactsActions::Scope::All);
    if (!window.prompter.texts().back().startsWith(QStringLiteral("10000 entries written")))
        state.SkipWithError(window.prompter.texts().back().toStdString().c_str());
    state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(ExportAllThroughTheWindow)->Unit(benchmark::kMillisecond);

}  // namespace
