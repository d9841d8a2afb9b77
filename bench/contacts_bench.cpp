// Contacts in and out of an address book of 10,000 generated entries: export to vCard and
// CSV, and import of those files into an empty address book (the saves, the uniqueness
// checks and the index included).

#include <unistd.h>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include <store/address_book.h>
#include <store/contacts_exchange.h>

namespace {

namespace fs = std::filesystem;
constexpr uint32_t kEntries = 10000;

fs::path scratch() {
    static const fs::path root = [] {
        fs::path p =
            fs::temp_directory_path() / ("cardhold-contacts-bench-" + std::to_string(::getpid()));
        fs::remove_all(p);
        fs::create_directories(p / "book");
        store::GenerateOptions options;
        options.count = kEntries;
        store::generateAddressBook(p / "book", options);
        std::atexit([] {
            fs::remove_all(fs::temp_directory_path() /
                           ("cardhold-contacts-bench-" + std::to_string(::getpid())));
        });
        return p;
    }();
    return root;
}

void exportBook(benchmark::State& state, const char* file, bool vcard4) {
    store::AddressBook book(scratch() / "book");
    store::ExportOptions options;
    options.vcard4 = vcard4;
    for (auto _ : state) {
        const store::ExportReport report = store::exportContacts(book, scratch() / file, options);
        if (report.written != int(kEntries)) state.SkipWithError(report.text().c_str());
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
    state.counters["bytes"] = double(fs::file_size(scratch() / file));
}

void importBook(benchmark::State& state, const char* file) {
    {
        store::AddressBook book(scratch() / "book");
        store::exportContacts(book, scratch() / file);
    }
    static int round = 0;  // the function runs once per trial of the iteration count
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path folder = scratch() / ("import-" + std::to_string(round++));
        fs::create_directories(folder);
        store::AddressBook::create(folder);
        store::AddressBook book(folder);
        state.ResumeTiming();
        const store::ImportReport report = store::importContacts(book, {scratch() / file});
        if (report.added != int(kEntries)) state.SkipWithError(report.text().c_str());
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}

void BM_ExportVCard3(benchmark::State& state) {
    exportBook(state, "export3.vcf", false);
}
void BM_ExportVCard4(benchmark::State& state) {
    exportBook(state, "export4.vcf", true);
}
void BM_ExportCsv(benchmark::State& state) {
    exportBook(state, "export.csv", false);
}
void BM_ImportVCard(benchmark::State& state) {
    importBook(state, "import.vcf");
}
void BM_ImportCsv(benchmark::State& state) {
    importBook(state, "import.csv");
}

BENCHMARK(BM_ExportVCard3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportVCard4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportVCard)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportCsv)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
