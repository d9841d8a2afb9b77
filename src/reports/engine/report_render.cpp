#include <report_engine/report_render.h>

#include <report_engine/report_error.h>
#include <report_engine/report_text_metrics.h>

#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>

#include <algorithm>

namespace reports {

namespace {

Qt::PenStyle penStyle(LineStyle style) {
    switch (style) {
        case LineStyle::Solid:
            return Qt::SolidLine;
        case LineStyle::Dash:
            return Qt::DashLine;
        case LineStyle::Dot:
            return Qt::DotLine;
        case LineStyle::DashDot:
            return Qt::DashDotLine;
        case LineStyle::DashDotDot:
            return Qt::DashDotDotLine;
    }
    return Qt::SolidLine;
}

QPen linePen(LineStyle style, int width) {
    QPen pen(Qt::black, std::max(width, 1), penStyle(style), Qt::FlatCap, Qt::MiterJoin);
    return pen;
}

QPageSize paperSize(const ReportDocument& document) {
    return QPageSize(
        QSizeF(document.paperWidth / double(kReportDpi), document.paperHeight / double(kReportDpi)),
        QPageSize::Inch, QString(), QPageSize::FuzzyMatch);
}

}  // namespace

void paintPage(QPainter& painter, const ReportPage& page) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setBrush(Qt::NoBrush);
    for (const PageBox& box : page.boxes) {
        painter.setPen(linePen(box.style, box.penWidth));
        painter.drawRect(QRectF(box.x, box.y, box.width, box.height));
    }
    for (const PageLine& line : page.lines) {
        painter.setPen(linePen(line.style, line.penWidth));
        painter.drawLine(QPointF(line.x1, line.y1), QPointF(line.x2, line.y2));
    }

    // Fonts are realised kFontScale times larger; draw them scaled back down.
    TextMetrics metrics;
    painter.setPen(Qt::black);
    painter.scale(1.0 / kFontScale, 1.0 / kFontScale);
    for (const PageText& text : page.texts) {
        const FontMeasure& measure = metrics.measure(text.font);
        painter.setFont(measure.font);
        painter.drawText(
            QPointF(text.x * double(kFontScale), (text.y + measure.ascent) * kFontScale),
            text.text);
    }
    painter.restore();
}

void renderPages(QPagedPaintDevice& device, const ReportDocument& document, int first, int last) {
    first = std::max(first, 0);
    last = std::min(last, document.pageCount() - 1);
    if (first > last) return;
    QPainter painter;
    if (!painter.begin(&device))
        throw ReportError(QStringLiteral("The report could not be sent to the printer or file."));
    const double scaleX = device.logicalDpiX() / double(kReportDpi);
    const double scaleY = device.logicalDpiY() / double(kReportDpi);
    for (int index = first; index <= last; ++index) {
        if (index > first && !device.newPage()) {
            painter.end();
            throw ReportError(QStringLiteral("The printer did not take page %1.").arg(index + 1));
        }
        painter.save();
        painter.scale(scaleX, scaleY);
        painter.setClipRect(QRectF(0, 0, document.paperWidth, document.paperHeight));
        paintPage(painter, document.pages[size_t(index)]);
        painter.restore();
    }
    if (!painter.end())
        throw ReportError(
            QStringLiteral("The report could not be finished on the printer or file."));
}

void preparePrinter(QPrinter& printer, const ReportDocument& document) {
    printer.setDocName(document.title);
    printer.setPageSize(paperSize(document));
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setFullPage(true);
    printer.setDuplex(QPrinter::DuplexNone);
}

namespace {

void writePdfPages(const ReportDocument& document, const QString& path, int first, int last) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw ReportError(QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString()));
    {
        QPdfWriter writer(&file);
        writer.setTitle(document.title);
        writer.setCreator(QStringLiteral("Marigold Cardhold"));
        writer.setResolution(1200);
        writer.setPageSize(paperSize(document));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        renderPages(writer, document, first, last);
    }
    if (!file.commit())
        throw ReportError(QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString()));
}

}  // namespace

void printDocument(QPrinter& printer, const ReportDocument& document) {
    int first = 0;
    int last = document.pageCount() - 1;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = printer.fromPage() - 1;
        last = std::min(last, printer.toPage() > 0 ? printer.toPage() - 1 : last);
    }
    // Printing to a file: the printer would empty an existing file before writing it.
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
        if (first <= last) writePdfPages(document, printer.outputFileName(), first, last);
        return;
    }
    renderPages(printer, document, first, last);
}

void writePdf(const ReportDocument& document, const QString& path) {
    if (document.pages.empty())
        throw ReportError(QStringLiteral("The report has no pages to write to \"%1\".").arg(path));
    writePdfPages(document, path, 0, document.pageCount() - 1);
}

}  // namespace reports
