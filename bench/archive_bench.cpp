// The backup archive on an address book of 100,000 entries (about 27 MB), beside the
// Info-ZIP command `zip -6` on the same two files, in the same run. Both are timed by the
// wall clock: the archive may compress on several threads, and zip is another process.
// Every archive written is checked with `unzip -t` afterwards.

#include <sys/resource.h>
#include <utime.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <store/address_book.h>
#include <store/archive.h>

#include "bench_support.h"

namespace {

namespace fs = std::filesystem;
constexpr uint32_t kEntries = 100000;

fs::path scratchRoot() {
    return bench::scratchRoot("cardhold-archive-bench");
}

const fs::path& book() {
    static const fs::path folder = [] {
        const fs::path f = scratchRoot() / "book";
        fs::create_directories(f);
        store::GenerateOptions options;
        options.count = kEntries;
        store::generateAddressBook(f, options);
        return f;
    }();
    return folder;
}

fs::path tableFile() {
    return book() / "ADDRESS.DBF";
}
fs::path memoFile() {
    return book() / "ADDRESS.fpt";
}

int run(const std::vector<std::string>& arguments) {
    return bench::runQuietly(arguments);
}

bool unzipAccepts(const fs::path& archive) {
    return run({"unzip", "-tqq", archive.string()}) == 0;
}

// Moves a file's modification time, so the archive sees it as changed.
void touch(const fs::path& file, time_t when) {
    struct utimbuf times {
        when, when
    };
    ::utime(file.c_str(), &times);
}

using bench::cpuSeconds;

uint64_t dataBytes() {
    return fs::file_size(tableFile()) + fs::file_size(memoFile());
}

// A new MGdata.zip with both files.
void BM_ArchiveNew(benchmark::State& state) {
    const fs::path archive = scratchRoot() / "new.zip";
    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(archive);
        state.ResumeTiming();
        store::ZipArchive zip(archive);
        zip.addFile(tableFile());
        zip.addFile(memoFile());
        zip.close();
    }
    state.counters["cpu_ms"] =
        (cpuSeconds(RUSAGE_SELF) - cpuBefore) * 1000.0 / static_cast<double>(state.iterations());
    if (!unzipAccepts(archive)) state.SkipWithError("unzip -t refuses the archive");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * dataBytes()));
    state.counters["archive_MB"] = static_cast<double>(fs::file_size(archive)) / (1024.0 * 1024.0);
}
BENCHMARK(BM_ArchiveNew)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The maintenance run: MGdata.zip exists and both files changed since.
void BM_ArchiveRefreshBoth(benchmark::State& state) {
    const fs::path archive = scratchRoot() / "refresh.zip";
    fs::remove(archive);
    time_t when = 1700000000;
    {
        store::ZipArchive zip(archive);
        zip.addFile(tableFile());
        zip.addFile(memoFile());
    }
    double cpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        when += 60;
        touch(tableFile(), when);
        touch(memoFile(), when);
        const double cpuBefore = cpuSeconds(RUSAGE_SELF);
        state.ResumeTiming();
        store::ZipArchive zip(archive);
        if (zip.addFile(tableFile()).outcome != store::AddOutcome::Refreshed ||
            zip.addFile(memoFile()).outcome != store::AddOutcome::Refreshed)
            state.SkipWithError("an entry was not refreshed");
        zip.close();
        cpu += cpuSeconds(RUSAGE_SELF) - cpuBefore;
    }
    state.counters["cpu_ms"] = cpu * 1000.0 / static_cast<double>(state.iterations());
    if (!unzipAccepts(archive)) state.SkipWithError("unzip -t refuses the archive");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * dataBytes()));
    state.counters["archive_MB"] = static_cast<double>(fs::file_size(archive)) / (1024.0 * 1024.0);
}
BENCHMARK(BM_ArchiveRefreshBoth)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Nothing changed: the run only opens the archive and compares dates and sizes.
void BM_ArchiveUpToDate(benchmark::State& state) {
    const fs::path archive = scratchRoot() / "same.zip";
    fs::remove(archive);
    {
        store::ZipArchive zip(archive);
        zip.addFile(tableFile());
        zip.addFile(memoFile());
    }
    for (auto _ : state) {
        store::ZipArchive zip(archive);
        if (zip.addFile(tableFile()).outcome != store::AddOutcome::Unchanged ||
            zip.addFile(memoFile()).outcome != store::AddOutcome::Unchanged)
            state.SkipWithError("an entry was rewritten");
        zip.close();
    }
}
BENCHMARK(BM_ArchiveUpToDate)->Unit(benchmark::kMillisecond)->UseRealTime();

// Info-ZIP at the same level, on the same files, making a new archive.
void BM_ZipCommandLevel6(benchmark::State& state) {
    const fs::path archive = scratchRoot() / "zip6.zip";
    if (run({"zip", "-h"}) != 0) {
        state.SkipWithError("zip is not installed");
        return;
    }
    const double cpuBefore = cpuSeconds(RUSAGE_CHILDREN);
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(archive);
        state.ResumeTiming();
        if (run({"zip", "-6", "-q", "-j", archive.string(), tableFile().string(),
                 memoFile().string()}) != 0)
            state.SkipWithError("zip failed");
    }
    state.counters["cpu_ms"] = (cpuSeconds(RUSAGE_CHILDREN) - cpuBefore) * 1000.0 /
                               static_cast<double>(state.iterations());
    if (!unzipAccepts(archive)) state.SkipWithError("unzip -t refuses zip's archive");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * dataBytes()));
    state.counters["archive_MB"] = static_cast<double>(fs::file_size(archive)) / (1024.0 * 1024.0);
}
BENCHMARK(BM_ZipCommandLevel6)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
