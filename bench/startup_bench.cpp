// Start-up of the program on a large address book, to a painted main window, and
// moving the name grid to the end of the table.
//
//   startup_bench [--entries=N] [benchmark flags]
//
// Runs offscreen unless QT_QPA_PLATFORM says otherwise.

#include <QApplication>
#include <QFile>
#include <QPixmap>
#include <QScrollBar>
#include <QTemporaryDir>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include <data/grid.h>
#include <data/navigator.h>
#include <platform/fakes.h>
#include <platform/form_style.h>

#include <app/program.h>
#include <store/address_book.h>

namespace {

uint32_t entryCount = 100000;

// One generated address book for the whole run.
const QString& addressBookFolder() {
    static QTemporaryDir root;
    static const QString folder = [] {
        const QString path = root.path() + QStringLiteral("/book");
        std::filesystem::create_directory(QFile::encodeName(path).toStdString());
        store::GenerateOptions options;
        options.count = entryCount;
        store::generateAddressBook(QFile::encodeName(path).toStdString(), options);
        return path;
    }();
    return folder;
}

struct Running {
    platform::FakePrompter prompter;
    platform::FakeShell shell;
    platform::FakeClipboard clipboard;
    platform::FakePhoneDialer dialer;
    std::unique_ptr<app::Program> program;

    // What the user waits for: the window created, the table opened, the grid painted.
    void start(const QString& folder = addressBookFolder()) {
        program = std::make_unique<app::Program>(app::Services{prompter, shell, clipboard, dialer},
                                                 app::StartupOptions{{}, folder});
        program->mainWindow.show();
        QCoreApplication::processEvents();  // the start-up of the first show
        const QPixmap painted = program->mainWindow.grab();
        benchmark::DoNotOptimize(painted.cacheKey());
    }
};

void StartupToPaintedWindow(benchmark::State& state) {
    addressBookFolder();
    for (auto _ : state) {
        Running running;
        running.start();
        if (running.program->mainWindow.state.firstShow) state.SkipWithError("start-up failed");
        state.PauseTiming();
        running.program.reset();
        state.ResumeTiming();
    }
    state.counters["entries"] = entryCount;
}
BENCHMARK(StartupToPaintedWindow)->Unit(benchmark::kMillisecond);

// The first start after the index file was lost: the index is rebuilt and the table
// packed before the window shows the names.
void StartupRebuildingTheIndex(benchmark::State& state) {
    namespace fs = std::filesystem;
    const fs::path source = QFile::encodeName(addressBookFolder()).toStdString();
    QTemporaryDir scratch;
    const QString copy = scratch.path() + QStringLiteral("/book");
    const fs::path target = QFile::encodeName(copy).toStdString();
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(target);
        fs::create_directory(target);
        for (const char* name : {"ADDRESS.DBF", "ADDRESS.fpt"})
            fs::copy_file(source / name, target / name);
        state.ResumeTiming();
        Running running;
        running.start(copy);
        if (running.program->mainWindow.state.firstShow) state.SkipWithError("start-up failed");
        state.PauseTiming();
        running.program.reset();
        state.ResumeTiming();
    }
    state.counters["entries"] = entryCount;
}
BENCHMARK(StartupRebuildingTheIndex)->Unit(benchmark::kMillisecond)->Iterations(3);

// The navigator's Last, then the grid repainted where it now stands; and back to First.
void ScrollGridToEnd(benchmark::State& state) {
    Running running;
    running.start();
    app::MainWindow& window = running.program->mainWindow;
    for (auto _ : state) {
        window.navigator->click(data::DBNavigator::Last);
        benchmark::DoNotOptimize(window.nameGrid->grab().cacheKey());
        window.navigator->click(data::DBNavigator::First);
        benchmark::DoNotOptimize(window.nameGrid->grab().cacheKey());
    }
    state.counters["entries"] = entryCount;
}
BENCHMARK(ScrollGridToEnd)->Unit(benchmark::kMillisecond);

// Dragging the scroll bar from top to bottom in twenty steps, painting each.
void DragScrollBar(benchmark::State& state) {
    Running running;
    running.start();
    data::DBGrid& grid = *running.program->mainWindow.nameGrid;
    QScrollBar& bar = *grid.verticalScrollBar();
    for (auto _ : state) {
        for (int step = 0; step <= 20; ++step) {
            bar.setValue(bar.maximum() * step / 20);
            benchmark::DoNotOptimize(grid.grab().cacheKey());
        }
    }
}
BENCHMARK(DragScrollBar)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--entries=", 10) == 0) {
            entryCount = static_cast<uint32_t>(std::strtoul(argv[i] + 10, nullptr, 10));
        }
    }
    QApplication application(argc, argv);
    platform::installFonts();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
