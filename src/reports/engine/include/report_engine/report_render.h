#pragma once
// Painting the laid-out pages: on screen, on a printer and into PDF, all through
// paintPage, so every output shows the same pages.

#include <report_engine/report_document.h>

#include <QString>

class QPainter;
class QPagedPaintDevice;
class QPrinter;

namespace reports {

// Paints one page; the painter must already map one unit to one report pixel.
void paintPage(QPainter& painter, const ReportPage& page);

// Paints pages first..last (0-based, inclusive) on a paged device, one per sheet.
// Throws ReportError when the device cannot be painted on.
void renderPages(QPagedPaintDevice& device, const ReportDocument& document, int first, int last);

// Paper, orientation and job name as the document needs them.
void preparePrinter(QPrinter& printer, const ReportDocument& document);

// Prints the printer's page range (all pages when none is chosen). Nothing for an
// empty document. Printing to a PDF file replaces the file only once it is whole.
void printDocument(QPrinter& printer, const ReportDocument& document);

// Writes the document as a PDF file; the old file stays if writing fails.
void writePdf(const ReportDocument& document, const QString& path);

}  // namespace reports
