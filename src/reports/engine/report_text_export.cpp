#include <report_engine/report_text_export.h>

#include <report_engine/report_error.h>

#include <QSaveFile>

#include <algorithm>
#include <cmath>

namespace reports {

namespace {

// The texts of one printed line, left to right.
struct PrintedLine {
    int top = 0;
    int bottom = 0;
    std::vector<const PageText*> texts;
};

std::vector<PrintedLine> printedLines(const ReportPage& page) {
    std::vector<const PageText*> texts;
    for (const PageText& text : page.texts) texts.push_back(&text);
    std::stable_sort(texts.begin(), texts.end(), [](const PageText* a, const PageText* b) {
        return a->y != b->y ? a->y < b->y : a->x < b->x;
    });

    std::vector<PrintedLine> lines;
    for (const PageText* text : texts) {
        // Texts share a line when they overlap by more than half the shorter one's
        // height; the header's items set in different fonts still form one line.
        if (!lines.empty()) {
            PrintedLine& last = lines.back();
            const int overlap =
                std::min(last.bottom, text->y + text->height) - std::max(last.top, text->y);
            const int shorter = std::min(last.bottom - last.top, text->height);
            if (overlap * 2 > shorter) {
                last.texts.push_back(text);
                last.bottom = std::max(last.bottom, text->y + text->height);
                continue;
            }
        }
        lines.push_back({text->y, text->y + text->height, {text}});
    }
    for (PrintedLine& line : lines)
        std::stable_sort(line.texts.begin(), line.texts.end(),
                         [](const PageText* a, const PageText* b) { return a->x < b->x; });
    return lines;
}

// A text placed beyond the paper (a loaded report file may place one anywhere) starts at
// the paper's last column, so a small file cannot make an endless line.
QString composeLine(const PrintedLine& line, double columnWidth, qsizetype lastColumn) {
    QString result;
    for (const PageText* text : line.texts) {
        qsizetype column = std::clamp<qsizetype>(std::lround(text->x / columnWidth), 0, lastColumn);
        // A text never runs into the one before it: proportional text can be wider
        // than its columns, and then the next one moves right, one blank apart.
        if (!result.isEmpty()) column = std::max(column, result.size() + 1);
        result += QString(column - result.size(), u' ');
        result += text->text;
    }
    while (!result.isEmpty() && result.back() == u' ') result.chop(1);
    return result;
}

}  // namespace

QStringList reportTextLines(const ReportDocument& document, const TextExportOptions& options) {
    const double columnWidth = options.columnWidth > 0 ? options.columnWidth : 8.0;
    const double lineHeight = options.lineHeight > 0 ? options.lineHeight : 20.0;
    // At most a page of blank lines for one gap, and no column beyond the paper's width.
    const long mostBlanks = std::lround(std::max(document.paperHeight, 0) / lineHeight);
    const qsizetype lastColumn = std::lround(std::max(document.paperWidth, 0) / columnWidth);
    QStringList result;
    for (int index = 0; index < document.pageCount(); ++index) {
        if (index > 0) result += options.formFeedBetweenPages ? QStringLiteral("\f") : QString();
        const std::vector<PrintedLine> lines = printedLines(document.pages[size_t(index)]);
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i > 0) {
                // Blank lines for the space between two printed lines, measured top to
                // top, so the mapping does not depend on where the page starts.
                const int distance = lines[i].top - lines[i - 1].top;
                const long blanks = std::min(std::lround(distance / lineHeight) - 1, mostBlanks);
                for (long b = 0; b < blanks; ++b) result += QString();
            }
            result += composeLine(lines[i], columnWidth, lastColumn);
        }
    }
    return result;
}

void writeTextFile(const ReportDocument& document, const QString& path,
                   const TextExportOptions& options) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw ReportError(QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString()));
    QByteArray bytes;
    for (const QString& line : reportTextLines(document, options)) {
        bytes += line.toUtf8();
        bytes += '\n';
    }
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw ReportError(QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString()));
}

}  // namespace reports
