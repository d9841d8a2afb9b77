// Laying out, exporting and saving a large address report.
#include <report_engine/report_file.h>
#include <report_engine/report_layout.h>
#include <report_engine/report_text_export.h>
#include <report_engine/sample_report.h>

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

const QString kTitle = QStringLiteral("Marigold Cardhold www.example.com");

void BM_LayoutAddressReport(benchmark::State& state) {
    auto entries = reports::sample::makeEntries(static_cast<int>(state.range(0)));
    auto report = reports::sample::makeAddressReport(*entries, kTitle);
    int pages = 0;
    for (auto _ : state) pages = reports::layoutReport(*report).pageCount();
    state.counters["pages"] = pages;
    state.counters["records/s"] = benchmark::Counter(
        double(state.range(0)) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LayoutAddressReport)->Arg(500)->Arg(5000)->Unit(benchmark::kMillisecond);

void BM_LayoutNamesOnly(benchmark::State& state) {
    auto entries = reports::sample::makeEntries(static_cast<int>(state.range(0)));
    auto report = reports::sample::makeAddressReport(*entries, kTitle, {.includeMemo = false});
    for (auto _ : state) benchmark::DoNotOptimize(reports::layoutReport(*report).pageCount());
}
BENCHMARK(BM_LayoutNamesOnly)->Arg(5000)->Unit(benchmark::kMillisecond);

void BM_TextExport(benchmark::State& state) {
    auto entries = reports::sample::makeEntries(static_cast<int>(state.range(0)));
    auto report = reports::sample::makeAddressReport(*entries, kTitle);
    const reports::ReportDocument document = reports::layoutReport(*report);
    for (auto _ : state) benchmark::DoNotOptimize(reports::reportTextLines(document).size());
}
BENCHMARK(BM_TextExport)->Arg(5000)->Unit(benchmark::kMillisecond);

void BM_ReportFileRoundTrip(benchmark::State& state) {
    auto entries = reports::sample::makeEntries(static_cast<int>(state.range(0)));
    auto report = reports::sample::makeAddressReport(*entries, kTitle);
    const reports::ReportDocument document = reports::layoutReport(*report);
    qint64 bytes = 0;
    for (auto _ : state) {
        const QByteArray encoded = reports::encodeReport(document);
        bytes = encoded.size();
        benchmark::DoNotOptimize(
            reports::decodeReport(encoded, QStringLiteral("bench")).pageCount());
    }
    state.counters["file bytes"] = double(bytes);
}
BENCHMARK(BM_ReportFileRoundTrip)->Arg(5000)->Unit(benchmark::kMillisecond);

}  // namespace
