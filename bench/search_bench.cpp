// The search filter on a large address book: a name-only search, a name-and-memo search
// that finds one entry in a hundred and one that finds nothing, the grid's rows listed
// again after a save while a name-and-memo search is on, and Find on the main window
// from the answered question to the repainted grid.
//
//   search_bench [--entries=N] [benchmark flags]
//
// Runs offscreen unless QT_QPA_PLATFORM says otherwise.

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include <platform/fakes.h>
#include <platform/form_style.h>
#include <xbase/cursor.h>

#include <app/program.h>
#include <store/address_book.h>
#include <store/address_module.h>
#include <store/address_rules.h>
#include <store/search_filter.h>

namespace {

uint32_t entryCount = 100000;
constexpr std::size_t kMemoBytes = 300;

// A realistic memo, with a reference "tagNN" that one entry in a hundred shares, filled
// up to 300 bytes.
std::string memoOf(uint32_t index) {
    std::string memo = store::generatedEntry(7, index).memo;
    char reference[32];
    std::snprintf(reference, sizeof reference, "\r\nRef: tag%02u ", index % 100);
    memo += reference;
    memo.resize(kMemoBytes, '.');
    return memo;
}

// One address book for the whole run, written as the generator writes its own.
const std::filesystem::path& addressBookFolder() {
    static QTemporaryDir root;
    static const std::filesystem::path folder = [] {
        const std::filesystem::path path = QFile::encodeName(root.path()).toStdString();
        const auto table = store::AddressBook::tablePath(path);
        xbase::createTable(table, xbase::parseFieldList(store::kFieldList));
        xbase::Cursor cursor;
        xbase::OpenOptions exclusive;
        exclusive.mode = xbase::ShareMode::Exclusive;
        cursor.open(table, exclusive);
        const int name = cursor.requireField(store::kNameField);
        const int info = cursor.requireField(store::kInfoField);
        for (uint32_t i = 0; i < entryCount; ++i) {
            cursor.append();
            cursor.setText(name, store::generatedEntry(7, i).name);
            cursor.setMemo(info, memoOf(i));
            cursor.post();
        }
        cursor.createIndex(store::kTagName, store::kKeyExpression);
        return path;
    }();
    return folder;
}

struct Module {
    store::ProgramState state;
    platform::FakePrompter prompter;
    store::AddressModule dm{state, prompter};

    Module() {
        dm.setDataFolder(QFile::decodeName(addressBookFolder().native().c_str()));
        dm.addressTable.open();
    }

    // What Find does once the question is answered; the grid's rows are listed inside.
    store::SearchOutcome find(const QString& text, bool includeMemo) {
        state.nameOnlySearch = false;
        return dm.search.search(text, includeMemo, {});
    }
};

void NameOnlySearch(benchmark::State& state) {
    Module module;
    int rows = 0;
    for (auto _ : state) {
        module.dm.search.cancel();
        module.find(QStringLiteral("smith"), false);
        rows = module.dm.addressTable.visibleCount();
    }
    state.counters["entries"] = entryCount;
    state.counters["rows"] = rows;
}
BENCHMARK(NameOnlySearch)->Unit(benchmark::kMillisecond);

// Cancel Filter forgets what the memos held, so every round reads them all again.
void MemoSearch(benchmark::State& state, const char* text) {
    Module module;
    int rows = 0;
    uint64_t reads = 0;
    for (auto _ : state) {
        module.dm.search.cancel();
        const uint64_t before = module.dm.search.memosRead();
        module.find(QString::fromLatin1(text), true);
        reads = module.dm.search.memosRead() - before;
        rows = module.dm.addressTable.visibleCount();
    }
    state.counters["entries"] = entryCount;
    state.counters["rows"] = rows;
    state.counters["memos read"] = static_cast<double>(reads);
}
BENCHMARK_CAPTURE(MemoSearch, OneInAHundred, "tag07")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(MemoSearch, Nothing, "no such text")->Unit(benchmark::kMillisecond);

// A memo changed and saved while the memo search is on: the rows the grid lists again.
void SaveDuringMemoSearch(benchmark::State& state) {
    Module module;
    data::DataSet& table = module.dm.addressTable;
    module.find(QStringLiteral("tag07"), true);
    data::Field& info = table.fieldByName(QString::fromLatin1(store::kInfoField));
    int round = 0;
    for (auto _ : state) {
        table.edit();
        info.setAsString(QStringLiteral("Ref: tag07 round %1").arg(++round));
        table.post();
        benchmark::DoNotOptimize(table.visibleCount());
    }
    state.counters["entries"] = entryCount;
}
BENCHMARK(SaveDuringMemoSearch)->Unit(benchmark::kMillisecond);

// Find on the main window, the chooser answered as soon as it is up: what the user
// waits for between OK and the narrowed, repainted list.
void FindInMainWindow(benchmark::State& state, const char* text) {
    platform::FakePrompter prompter;
    platform::FakeShell shell;
    platform::FakeClipboard clipboard;
    platform::FakePhoneDialer dialer;
    const QString folder = QFile::decodeName(addressBookFolder().native().c_str());
    app::Program program({prompter, shell, clipboard, dialer}, {{}, folder});
    app::MainWindow& window = program.mainWindow;
    window.show();
    QCoreApplication::processEvents();  // the start-up of the first show
    if (window.state.firstShow) state.SkipWithError("start-up failed");
    links::ItemChooser& chooser = program.itemChooser;
    for (auto _ : state) {
        state.PauseTiming();
        window.cancelSearch();
        state.ResumeTiming();
        QTimer::singleShot(0, &chooser, [&chooser, text] {
            chooser.answerEdit->setText(QString::fromLatin1(text));
            chooser.optionCheck->setChecked(true);
            chooser.okButton->click();
        });
        window.searchEntries();
    }
    state.counters["entries"] = entryCount;
    state.counters["rows"] = program.addressModule.addressTable.visibleCount();
}
BENCHMARK_CAPTURE(FindInMainWindow, OneInAHundred, "tag07")->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    platform::installFonts();
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--entries=", 10) == 0) {
            entryCount = static_cast<uint32_t>(std::strtoul(argv[i] + 10, nullptr, 10));
            for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
            --argc;
            break;
        }
    }
    benchmark::Initialize(&argc, argv);
    addressBookFolder();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
