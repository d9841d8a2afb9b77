// Sync with a real CardDAV server, Radicale on 127.0.0.1: the first upload of 2,000 entries,
// and a sync with nothing changed on a book of 10,000 (its cards written straight into the
// server's storage, then matched once by a first sync).
//
// Real time is the user's wait, server included; CPU time is this program's share.

#include <unistd.h>

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <store/address_book.h>
#include <store/contacts_sync.h>
#include "carddav_client.h"
#include "contacts_text.h"
#include "entry_card.h"
#include "radicale_server.h"

namespace {

namespace fs = std::filesystem;
constexpr const char* kPassword = "bench";

fs::path scratch() {
    static const fs::path root = [] {
        fs::path p =
            fs::temp_directory_path() / ("cardhold-sync-bench-" + std::to_string(::getpid()));
        fs::remove_all(p);
        fs::create_directories(p);
        return p;
    }();
    return root;
}

std::unique_ptr<testsupport::RadicaleServer> radicale;

testsupport::RadicaleServer& server() {
    if (!radicale) radicale = std::make_unique<testsupport::RadicaleServer>(scratch() / "server");
    return *radicale;
}

fs::path generatedBook(const std::string& name, uint32_t count) {
    const fs::path folder = scratch() / name;
    fs::create_directories(folder);
    store::GenerateOptions options;
    options.count = count;
    store::generateAddressBook(folder, options);
    return folder;
}

store::SyncReport syncAs(store::AddressBook& book, const std::string& user) {
    return store::syncAddressBook(book, {server().url(), user, kPassword, false});
}

void BM_FirstUpload2000(benchmark::State& state) {
    static int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string user = "upload" + std::to_string(round++);
        server().addUser(user, kPassword);
        store::AddressBook book(generatedBook(user, 2000));
        state.ResumeTiming();
        const store::SyncReport report = syncAs(book, user);
        if (report.uploaded != 2000) state.SkipWithError(report.text().c_str());
    }
    state.SetItemsProcessed(state.iterations() * 2000);
}

// A user whose 10,000 cards another device put on the server (written straight into its
// storage), and the same entries in a book here, not synced yet.
std::unique_ptr<store::AddressBook> bookWithCardsOnServer(benchmark::State& state,
                                                          const std::string& user) {
    server().addUser(user, kPassword);
    auto book = std::make_unique<store::AddressBook>(generatedBook(user, 10000));
    store::TableText text(book->table().codePage());
    int number = 0;
    for (const store::Entry& entry : book->entries()) {
        const std::string uid = "card-" + std::to_string(++number);
        std::ofstream(server().cardFolder(user) / (uid + ".vcf"), std::ios::binary)
            << store::entryCard(text, entry, uid);
    }
    // Radicale reads cards that appeared behind its back once, slowly; cards that come by
    // PUT never wait for that. Let it read them before anything is measured.
    try {
        store::carddav::Client({QUrl(QString::fromStdString(server().url())),
                                QString::fromStdString(user), kPassword, false})
            .listCards(QUrl(QString::fromStdString(server().addressBookUrl(user))));
    } catch (const store::carddav::Failure& failure) {
        state.SkipWithError(failure.what());
        return nullptr;
    }
    return book;
}

// The first sync of such a book: every card fetched and matched by content, nothing sent.
void BM_FirstSyncMatching10000(benchmark::State& state) {
    static int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string user = "match" + std::to_string(round++);
        const auto book = bookWithCardsOnServer(state, user);
        if (!book) return;
        state.ResumeTiming();
        const store::SyncReport report = syncAs(*book, user);
        if (report.matched != 10000) state.SkipWithError(report.text().c_str());
    }
}

void BM_NothingChanged10000(benchmark::State& state) {
    const std::string user = "steady";
    const auto book = bookWithCardsOnServer(state, user);
    if (!book) return;
    for (int i = 0; i < 2; ++i) {  // matched, then the token settles
        const store::SyncReport report = syncAs(*book, user);
        if (report.failed() || report.matched + report.unchanged != 10000) {
            state.SkipWithError(report.text().c_str());
            return;
        }
    }
    for (auto _ : state) {
        const store::SyncReport report = syncAs(*book, user);
        if (report.unchanged != 10000 || report.failed())
            state.SkipWithError(report.text().c_str());
    }
}

// The everyday sync: 100 of 10,000 entries edited here since the last one, each one
// card written back.
void BM_HundredChanged10000(benchmark::State& state) {
    const std::string user = "edits";
    const auto book = bookWithCardsOnServer(state, user);
    if (!book) return;
    for (int i = 0; i < 2; ++i) syncAs(*book, user);
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<store::Entry> entries = book->entries();
        ++round;
        for (size_t i = 0; i < 100; ++i) {
            const store::Entry& entry = entries[i * 97 % entries.size()];
            book->setEntryAt(entry.record, entry.name,
                             entry.memo + "\r\nround " + std::to_string(round));
        }
        state.ResumeTiming();
        const store::SyncReport report = syncAs(*book, user);
        if (report.cardsUpdated != 100 || report.failed())
            state.SkipWithError(report.text().c_str());
    }
}

BENCHMARK(BM_FirstUpload2000)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_FirstSyncMatching10000)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_NothingChanged10000)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_HundredChanged10000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);  // the requests wait in its event loop
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    radicale.reset();
    fs::remove_all(scratch());
    return 0;
}
