#pragma once
// The report as plain text: every printed line of text becomes one line of
// characters, with report pixels mapped to character columns the same way across the
// whole report, so what stands in one column on paper stands in one column here.

#include <report_engine/report_document.h>

#include <QString>
#include <QStringList>

namespace reports {

struct TextExportOptions {
    // Report pixels per character column: 8 is 15 characters per inch, close to the
    // average width of a 10-point proportional font, so columns keep their text.
    double columnWidth = 8.0;
    // Report pixels per text line: gaps between printed lines become blank lines.
    double lineHeight = 20.0;
    // Between pages: a form feed line instead of one blank line.
    bool formFeedBetweenPages = false;
};

QStringList reportTextLines(const ReportDocument& document, const TextExportOptions& options = {});

// Writes the lines in UTF-8, each ended by a line feed; the old file stays if writing fails.
void writeTextFile(const ReportDocument& document, const QString& path,
                   const TextExportOptions& options = {});

}  // namespace reports
