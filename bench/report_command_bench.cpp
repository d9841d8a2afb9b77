// The address report over real tables: walking a table as the report does, laying the
// whole report out, and filtering the report copy by a selection of many names.
//   report_command_bench [--benchmark_filter=...]
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <data/dataset.h>

#include <report_engine/report_layout.h>
#include <reports/address_report.h>
#include <reports/selection_filter.h>
#include <reports/table_report_data.h>
#include <store/address_book.h>
#include <store/address_rules.h>

namespace {

// One generated address book per size, made on first use and kept for the run.
QString addressBook(int entries) {
    static QTemporaryDir root;
    static std::map<int, QString> made;
    if (auto found = made.find(entries); found != made.end()) return found->second;
    const QString folder = root.filePath(QString::number(entries));
    QDir().mkpath(folder);
    store::generateAddressBook(folder.toStdString(), {static_cast<uint32_t>(entries), 3, true});
    made[entries] = folder;
    return folder;
}

std::unique_ptr<data::DataSet> openTable(int entries) {
    auto table = std::make_unique<data::DataSet>();
    table->setDatabaseName(addressBook(entries));
    table->setTableName(QString::fromLatin1(store::kTableFileName));
    table->setIndexName(QStringLiteral("ADDRESS"));
    table->open();
    return table;
}

void BM_WalkTableAsTheReportDoes(benchmark::State& state) {
    auto table = openTable(static_cast<int>(state.range(0)));
    reports::TableReportData walked(*table);
    qint64 characters = 0;
    for (auto _ : state) {
        characters = 0;
        for (walked.first(); !walked.atEnd(); walked.next())
            characters += walked.fieldText(QStringLiteral("NAME")).size() +
                          walked.fieldText(QStringLiteral("INFO")).size();
    }
    state.counters["chars"] = double(characters);
    state.counters["records/s"] = benchmark::Counter(
        double(state.range(0)) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WalkTableAsTheReportDoes)->Arg(5000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_LayOutTheWholeReport(benchmark::State& state) {
    auto table = openTable(static_cast<int>(state.range(0)));
    reports::TableReportData walked(*table);
    const bool withMemo = state.range(1) != 0;
    int pages = 0;
    for (auto _ : state) {
        const reports::ReportRequest request{walked, withMemo, false, *table,
                                             QStringLiteral("Marigold Cardhold - bench")};
        reports::produceReport(request, [&](const reports::Report& report) {
            pages = reports::layoutReport(report).pageCount();
        });
    }
    state.counters["pages"] = pages;
    state.counters["records/s"] = benchmark::Counter(
        double(state.range(0)) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LayOutTheWholeReport)->Args({5000, 1})->Args({5000, 0})->Unit(benchmark::kMillisecond);

// The report copy filtered to a selection of names, as a Selected report sets it up.
void BM_FilterTheCopyBySelectedNames(benchmark::State& state) {
    auto table = openTable(5000);
    std::vector<std::string> names;
    const int selected = static_cast<int>(state.range(0));
    for (int row = 0; row < selected; ++row)
        names.push_back(table->fromUnicode(
            table->fieldTextAt(row * (5000 / selected), QString::fromLatin1(store::kNameField))));
    const QString expression = table->toUnicode(reports::selectedNamesFilter(names));
    int listed = 0;
    for (auto _ : state) {
        data::DataSet copy;
        copy.setDatabaseName(table->databaseName());
        copy.setTableName(table->tableName());
        copy.setIndexName(QStringLiteral("Address"));
        copy.setFilter(expression);
        copy.open();
        copy.setFiltered(true);
        listed = copy.visibleCount();
    }
    state.counters["listed"] = listed;
}
BENCHMARK(BM_FilterTheCopyBySelectedNames)->Arg(10)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
