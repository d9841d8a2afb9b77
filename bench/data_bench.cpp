// The data-set layer over an address book of 100,000 entries: what the user waits for
// when the grid opens, jumps and scrolls, and what the order vector costs to rebuild.
// Runs offscreen; the grid shows 15 rows, as in the main window.

#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QHeaderView>
#include <QPixmap>
#include <QScrollBar>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include <data/dataset.h>
#include <data/datasource.h>
#include <data/grid.h>

#include <store/address_book.h>

namespace {

namespace fs = std::filesystem;
constexpr uint32_t kEntries = 100000;
constexpr int kRowsShown = 15;

const fs::path& book() {
    static const fs::path folder = [] {
        const fs::path f =
            fs::temp_directory_path() / ("cardhold-data-bench-" + std::to_string(::getpid()));
        fs::remove_all(f);
        fs::create_directories(f);
        std::atexit([] {
            fs::remove_all(fs::temp_directory_path() /
                           ("cardhold-data-bench-" + std::to_string(::getpid())));
        });
        store::generateAddressBook(f, {kEntries, 1, true});
        return f;
    }();
    return folder;
}

// A data set, its source and a grid of 15 rows, as the main window has them.
struct Window {
    explicit Window(const QString& index = QStringLiteral("ADDRESS")) {
        table.setDatabaseName(QString::fromStdString(book().string()));
        table.setTableName(QStringLiteral("ADDRESS.DBF"));
        table.setIndexName(index);
        source.setDataSet(&table);
        source.setAutoEdit(false);
        grid.setColumns({QStringLiteral("NAME")});
        grid.setDataSource(&source);
        const int rowHeight = grid.verticalHeader()->defaultSectionSize();
        grid.resize(290, rowHeight * kRowsShown + 2 * grid.frameWidth());
        grid.setColumnWidth(0, 353);
    }
    void paint() { benchmark::DoNotOptimize(grid.grab()); }

    data::DataSet table;
    data::DataSource source;
    data::DBGrid grid;
};

void reportMemory(benchmark::State& state) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_OpenAndFirstPaint(benchmark::State& state) {
    book();
    for (auto _ : state) {
        Window window;
        window.table.open();
        window.paint();
        state.PauseTiming();
        window.table.close();
        state.ResumeTiming();
    }
    reportMemory(state);
}
BENCHMARK(BM_OpenAndFirstPaint)->Unit(benchmark::kMillisecond);

void BM_JumpToLastRowAndPaint(benchmark::State& state) {
    Window window;
    window.table.open();
    window.paint();
    for (auto _ : state) {
        state.PauseTiming();
        window.table.first();
        window.paint();
        state.ResumeTiming();
        window.table.last();
        window.paint();
    }
    if (window.grid.currentIndex().row() != int(kEntries) - 1)
        state.SkipWithError("not on the last row");
}
BENCHMARK(BM_JumpToLastRowAndPaint)->Unit(benchmark::kMillisecond);

// Dragging the scroll bar to a random place and painting what shows there.
void BM_ScrollToRandomPlaceAndPaint(benchmark::State& state) {
    Window window;
    window.table.open();
    window.paint();
    QScrollBar* bar = window.grid.verticalScrollBar();
    std::mt19937 rng(3);
    for (auto _ : state) {
        bar->setValue(int(rng() % uint32_t(bar->maximum() + 1)));
        window.paint();
    }
}
BENCHMARK(BM_ScrollToRandomPlaceAndPaint)->Unit(benchmark::kMicrosecond);

// One step down with the keyboard: the set moves, the grid follows and repaints.
void BM_NextRecordAndPaint(benchmark::State& state) {
    Window window;
    window.table.open();
    window.paint();
    for (auto _ : state) {
        window.table.next();
        if (window.table.eof()) window.table.first();
        window.paint();
    }
}
BENCHMARK(BM_NextRecordAndPaint)->Unit(benchmark::kMicrosecond);

// Rebuilding the vector of visible records: in name order, in natural order, and
// through a filter expression that passes about half of the entries.
void BM_RebuildOrderVector(benchmark::State& state) {
    data::DataSet table;
    table.setDatabaseName(QString::fromStdString(book().string()));
    table.setTableName(QStringLiteral("ADDRESS.DBF"));
    table.setIndexName(state.range(0) == 1 ? QString() : QStringLiteral("ADDRESS"));
    table.open();
    if (state.range(0) == 2) {
        table.setFilter(QStringLiteral("\"E\" $ upper(Name)"));
        table.setFiltered(true);
    }
    int rows = 0;
    for (auto _ : state) {
        table.refresh();  // forgets the vector
        rows = table.visibleCount();
    }
    state.counters["rows"] = rows;
    state.SetLabel(state.range(0) == 0   ? "name order"
                   : state.range(0) == 1 ? "natural order"
                                         : "filtered");
    reportMemory(state);
}
BENCHMARK(BM_RebuildOrderVector)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// Saving one changed entry: the write, then the vector built again for the grid.
void BM_PostAndRepaint(benchmark::State& state) {
    Window window;
    window.table.open();
    window.table.moveBy(int(kEntries / 2));
    window.paint();
    int n = 0;
    for (auto _ : state) {
        window.table.edit();
        window.table.fieldByName(QStringLiteral("INFO"))
            .setAsString(QStringLiteral("note %1").arg(++n));
        window.table.post();
        window.paint();
    }
}
BENCHMARK(BM_PostAndRepaint)->Unit(benchmark::kMillisecond);

}  // namespace
