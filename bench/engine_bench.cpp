// The table engine on an address book of 100,000 entries with memos of about 300 bytes.
// Each benchmark names one operation; run with --benchmark_repetitions=N for spread.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <xbase/cursor.h>

#include <store/address_book.h>
#include <store/address_rules.h>

#include "bench_support.h"

namespace {

namespace fs = std::filesystem;
constexpr uint32_t kEntries = 100000;

fs::path scratchRoot() {
    return bench::scratchRoot("cardhold-bench");
}

// The generated entries, made once.
const std::vector<store::Entry>& entries() {
    static const std::vector<store::Entry> all = [] {
        std::vector<store::Entry> v;
        v.reserve(kEntries);
        for (uint32_t i = 0; i < kEntries; ++i) v.push_back(store::generatedEntry(1, i));
        return v;
    }();
    return all;
}

xbase::OpenOptions options(xbase::ShareMode mode, const std::string& index = {}) {
    xbase::OpenOptions o;
    o.mode = mode;
    o.index = index;
    return o;
}

void appendAll(const fs::path& folder, bool withIndexFirst) {
    const fs::path path = store::AddressBook::tablePath(folder);
    xbase::createTable(path, xbase::parseFieldList(store::kFieldList));
    xbase::Cursor c;
    c.open(path, options(xbase::ShareMode::Exclusive));
    if (withIndexFirst) c.createIndex(store::kTagName, store::kKeyExpression);
    for (const auto& e : entries()) {
        c.append();
        c.setText(0, e.name);
        c.setMemo(1, e.memo);
        c.setDate(2, e.lastDate);
        c.post();
    }
}

// A complete, indexed book of 100,000 entries, made once and copied for benchmarks
// that change it.
const fs::path& masterBook() {
    static const fs::path folder = [] {
        fs::path f = scratchRoot() / "master";
        fs::create_directories(f);
        appendAll(f, false);
        xbase::Cursor c;
        c.open(store::AddressBook::tablePath(f), options(xbase::ShareMode::Exclusive));
        c.createIndex(store::kTagName, store::kKeyExpression);
        return f;
    }();
    return folder;
}

fs::path copyOfMaster(const std::string& name) {
    const fs::path folder = scratchRoot() / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (const auto& entry : fs::directory_iterator(masterBook()))
        fs::copy_file(entry.path(), folder / entry.path().filename());
    return folder;
}

uint64_t filesSize(const fs::path& folder) {
    uint64_t total = 0;
    for (const auto& entry : fs::directory_iterator(folder)) total += entry.file_size();
    return total;
}

void reportMemory(benchmark::State& state, const fs::path& folder) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    state.counters["files_MB"] = static_cast<double>(filesSize(folder)) / (1024.0 * 1024.0);
}

void BM_Append100kWithMemos(benchmark::State& state) {
    entries();
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path folder = scratchRoot() / "append";
        fs::remove_all(folder);
        fs::create_directories(folder);
        state.ResumeTiming();
        appendAll(folder, false);
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_Append100kWithMemos)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_BuildIndex(benchmark::State& state) {
    const fs::path folder = copyOfMaster("build-index");
    fs::remove(folder / "ADDRESS.CDX");
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(folder / "ADDRESS.CDX");
        xbase::Cursor c;
        c.open(store::AddressBook::tablePath(folder), options(xbase::ShareMode::Exclusive));
        state.ResumeTiming();
        c.createIndex(store::kTagName, store::kKeyExpression);
    }
}
BENCHMARK(BM_BuildIndex)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_ExactSeeks10k(benchmark::State& state) {
    const auto mode = state.range(0) ? xbase::ShareMode::Exclusive : xbase::ShareMode::Shared;
    xbase::Cursor c;
    c.open(store::AddressBook::tablePath(masterBook()), options(mode, "ADDRESS"));
    std::mt19937 rng(5);
    std::vector<std::string> keys;
    for (int i = 0; i < 10000; ++i)
        keys.push_back(store::upperAscii(entries()[rng() % kEntries].name));
    size_t found = 0;
    for (auto _ : state)
        for (const auto& key : keys) found += c.seekExact(key);
    if (found != keys.size() * state.iterations()) state.SkipWithError("a seek missed");
    state.SetLabel(mode == xbase::ShareMode::Shared ? "shared" : "exclusive");
}
BENCHMARK(BM_ExactSeeks10k)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_NameContainsScan(benchmark::State& state) {
    const auto mode = state.range(0) ? xbase::ShareMode::Exclusive : xbase::ShareMode::Shared;
    xbase::Cursor c;
    c.open(store::AddressBook::tablePath(masterBook()), options(mode, "ADDRESS"));
    c.setFilter("\"SMI\"$upper(Name)");
    size_t matches = 0;
    for (auto _ : state) {
        c.setFiltered(true);
        matches = 0;
        for (; !c.eof(); c.next()) ++matches;
        c.setFiltered(false);
    }
    state.counters["matches"] = static_cast<double>(matches);
    state.SetLabel(mode == xbase::ShareMode::Shared ? "shared" : "exclusive");
}
BENCHMARK(BM_NameContainsScan)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_MemoScanThroughCallback(benchmark::State& state) {
    const auto mode = state.range(0) ? xbase::ShareMode::Exclusive : xbase::ShareMode::Shared;
    xbase::Cursor c;
    c.open(store::AddressBook::tablePath(masterBook()), options(mode, "ADDRESS"));
    size_t read = 0;
    c.setFilterCallback([&] {
        const std::string memo = c.memo(1);
        read += memo.size();
        return memo.find("Ask about the garden") != std::string::npos;
    });
    c.setFiltered(true);
    size_t matches = 0;
    for (auto _ : state) {
        read = 0;
        matches = c.visibleRecords().size();
    }
    state.counters["matches"] = static_cast<double>(matches);
    state.counters["memo_MB"] = static_cast<double>(read) / (1024.0 * 1024.0);
    state.SetLabel(mode == xbase::ShareMode::Shared ? "shared" : "exclusive");
    reportMemory(state, masterBook());
}
BENCHMARK(BM_MemoScanThroughCallback)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// What the memo scan is measured against: GNU grep counting the same text in the memo file,
// a raw pass over its bytes. Timed by the CPU time of grep itself.
void BM_GrepCountOverMemoFile(benchmark::State& state) {
    const std::string memoFile = (masterBook() / "ADDRESS.fpt").string();
    const double before = bench::cpuSeconds(RUSAGE_CHILDREN);
    for (auto _ : state) {
        if (bench::runQuietly({"grep", "-c", "Ask about the garden", memoFile}) != 0) {
            state.SkipWithError("grep did not run");
            break;
        }
    }
    state.counters["grep_cpu_ms"] = (bench::cpuSeconds(RUSAGE_CHILDREN) - before) * 1000.0 /
                                    static_cast<double>(std::max<int64_t>(1, state.iterations()));
}
BENCHMARK(BM_GrepCountOverMemoFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_IndexedAppends10k(benchmark::State& state) {
    const auto mode = state.range(0) ? xbase::ShareMode::Exclusive : xbase::ShareMode::Shared;
    std::vector<store::Entry> fresh;
    for (uint32_t i = 0; i < 10000; ++i) fresh.push_back(store::generatedEntry(2, i));
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path folder = copyOfMaster("indexed-appends");
        xbase::Cursor c;
        c.open(store::AddressBook::tablePath(folder), options(mode, "ADDRESS"));
        state.ResumeTiming();
        for (const store::Entry& e : fresh) {
            c.append();
            c.setText(0, e.name);
            c.setMemo(1, e.memo);
            c.setDate(2, e.lastDate);
            c.post();
        }
    }
    state.SetLabel(mode == xbase::ShareMode::Shared ? "shared" : "exclusive");
}
BENCHMARK(BM_IndexedAppends10k)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Pack10PercentDeleted(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path folder = copyOfMaster("pack");
        {
            // Mark every tenth record deleted straight in the file: fast, and what a
            // long-used book looks like.
            xbase::Cursor c;
            c.open(store::AddressBook::tablePath(folder), options(xbase::ShareMode::Exclusive));
            for (uint32_t r = 1; r <= kEntries; r += 10) {
                c.gotoBookmark(xbase::Bookmark{r});
                c.deleteRecord();
            }
        }
        xbase::Cursor c;
        c.open(store::AddressBook::tablePath(folder),
               options(xbase::ShareMode::Exclusive, "ADDRESS"));
        state.ResumeTiming();
        c.pack();
        state.PauseTiming();
        if (c.physicalRecordCount() != kEntries - kEntries / 10)
            state.SkipWithError("wrong count after pack");
        reportMemory(state, folder);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Pack10PercentDeleted)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Reindex(benchmark::State& state) {
    const fs::path folder = copyOfMaster("reindex");
    xbase::Cursor c;
    c.open(store::AddressBook::tablePath(folder), options(xbase::ShareMode::Exclusive, "ADDRESS"));
    for (auto _ : state) c.reindex();
}
BENCHMARK(BM_Reindex)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
