// Shows a sample address report in the preview window, or writes it without a window.
//   report-engine-demo [--entries N] [--no-memo] [--text-format] [--zoom fit|width|100]
//                      [--page N] [--pdf FILE] [--text FILE]
#include <report_engine/report_error.h>
#include <report_engine/report_layout.h>
#include <report_engine/report_preview.h>
#include <report_engine/report_render.h>
#include <report_engine/report_text_export.h>
#include <report_engine/sample_report.h>

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption entriesOption("entries", "Number of made-up entries.", "N", "12");
    const QCommandLineOption noMemoOption("no-memo", "Leave the memos out.");
    const QCommandLineOption textFormatOption("text-format", "Lay out for text output.");
    const QCommandLineOption pdfOption("pdf", "Write the report as PDF and exit.", "FILE");
    const QCommandLineOption textOption("text", "Write the report as text and exit.", "FILE");
    const QCommandLineOption zoomOption("zoom", "Preview zoom: fit, width or 100.", "ZOOM", "fit");
    const QCommandLineOption pageOption("page", "Preview page to show first.", "N", "1");
    parser.addOptions({entriesOption, noMemoOption, textFormatOption, pdfOption, textOption,
                       zoomOption, pageOption});
    parser.process(app);

    auto entries = reports::sample::makeEntries(parser.value(entriesOption).toInt());
    reports::sample::AddressReportOptions options;
    options.includeMemo = !parser.isSet(noMemoOption);
    options.textFormat = parser.isSet(textFormatOption);
    auto report = reports::sample::makeAddressReport(
        *entries, QStringLiteral("Marigold Cardhold www.example.com"), options);

    try {
        if (parser.isSet(pdfOption) || parser.isSet(textOption)) {
            const reports::ReportDocument document = reports::layoutReport(*report);
            if (parser.isSet(pdfOption)) reports::writePdf(document, parser.value(pdfOption));
            if (parser.isSet(textOption))
                reports::writeTextFile(document, parser.value(textOption));
            std::printf("%d pages\n", document.pageCount());
            return 0;
        }
        reports::ReportPreview preview;
        preview.startLayout(*report);
        const QString zoom = parser.value(zoomOption);
        preview.setZoomMode(zoom == "width" ? reports::ReportPreview::ZoomMode::PageWidth
                            : zoom == "100" ? reports::ReportPreview::ZoomMode::Actual
                                            : reports::ReportPreview::ZoomMode::FitPage);
        const int page = parser.value(pageOption).toInt() - 1;
        QObject::connect(&preview, &reports::ReportPreview::layoutFinished, &preview,
                         [&preview, page] { preview.showPage(page); });
        preview.exec();
    } catch (const reports::ReportError& error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message()));
        return 1;
    }
    return 0;
}
