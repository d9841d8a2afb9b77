#pragma once
// The engine's own report file: the laid-out pages, so a saved report can be shown,
// printed and exported again without its data. The format is described in
// report_file_format.md.

#include <report_engine/report_document.h>

#include <QByteArray>
#include <QString>

namespace reports {

inline constexpr const char* kReportFileSuffix = "chrep";

QByteArray encodeReport(const ReportDocument& document);
// Throws ReportError, naming `source` (a file name) in the message, for anything
// that is not a well-formed report of a version this program reads.
ReportDocument decodeReport(const QByteArray& bytes, const QString& source);

// The old file stays if writing fails.
void saveReportFile(const ReportDocument& document, const QString& path);
ReportDocument loadReportFile(const QString& path);

}  // namespace reports
