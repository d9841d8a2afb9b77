#include <report_engine/report_text_metrics.h>

#include <QTextLayout>
#include <QTextOption>

#include <algorithm>

namespace reports {

namespace {

constexpr int kTabWidth = 8;

QString trimmedRight(const QString& text) {
    qsizetype end = text.size();
    while (end > 0 && text[end - 1].isSpace()) --end;
    return text.left(end);
}

}  // namespace

FontMeasure::FontMeasure(const ReportFont& reportFont)
    : font(reportFont.scaledQFont()),
      metrics(font),
      lineSpacing(metrics.lineSpacing() / kFontScale),
      ascent(metrics.ascent() / kFontScale) {}

double FontMeasure::width(const QString& text) const {
    return metrics.horizontalAdvance(text) / kFontScale;
}

const FontMeasure& TextMetrics::measure(const ReportFont& font) {
    auto found = fonts_.constFind(font);
    if (found != fonts_.constEnd()) return **found;
    auto measure = std::make_shared<FontMeasure>(font);
    fonts_.insert(font, measure);
    return *measure;
}

QString TextMetrics::printable(const QString& text) {
    QString result;
    result.reserve(text.size());
    qsizetype column = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r') {
            if (i + 1 < text.size() && text[i + 1] == u'\n') continue;
            result += u'\n';
            column = 0;
        } else if (c == u'\n') {
            result += u'\n';
            column = 0;
        } else if (c == u'\t') {
            do {
                result += u' ';
                ++column;
            } while (column % kTabWidth != 0);
        } else {
            result += (c.unicode() < 0x20 || c.unicode() == 0x7f) ? QChar(u' ') : c;
            ++column;
        }
    }
    // Blank lines at the end would only make the item taller.
    while (!result.isEmpty()) {
        const qsizetype lineStart = result.lastIndexOf(u'\n') + 1;
        if (!trimmedRight(result.mid(lineStart)).isEmpty()) break;
        result.truncate(std::max<qsizetype>(lineStart - 1, 0));
    }
    return result;
}

std::vector<TextLine> TextMetrics::lines(const QString& text, const ReportFont& font) {
    const FontMeasure& m = measure(font);
    std::vector<TextLine> result;
    if (text.isEmpty()) return result;
    // Blanks at the end of a line are kept: a label may use them to pad its frame.
    for (const QString& paragraph : text.split(u'\n'))
        result.push_back({paragraph, m.width(paragraph)});
    return result;
}

std::vector<TextLine> TextMetrics::wrap(const QString& text, const ReportFont& font, double width) {
    const FontMeasure& m = measure(font);
    std::vector<TextLine> result;
    if (text.isEmpty()) return result;

    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    for (const QString& paragraph : text.split(u'\n')) {
        const double wholeWidth = m.width(paragraph);
        if (wholeWidth <= width) {  // most lines fit: skip the full layout
            result.push_back({paragraph, wholeWidth});
            continue;
        }
        // Where a line is broken, the blanks at the break belong to neither line.
        const QString whole = trimmedRight(paragraph);
        QTextLayout layout(whole, m.font);
        layout.setTextOption(option);
        layout.setCacheEnabled(false);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width * kFontScale);
            // The natural width leaves out the blanks at the break, as the text does.
            const QString piece = trimmedRight(whole.mid(line.textStart(), line.textLength()));
            result.push_back({piece, line.naturalTextWidth() / kFontScale});
        }
        layout.endLayout();
    }
    return result;
}

std::vector<TextLine> TextMetrics::cut(const QString& text, const ReportFont& font, double width) {
    std::vector<TextLine> result = lines(text, font);
    const FontMeasure& m = measure(font);
    for (TextLine& line : result) {
        if (line.width <= width) continue;
        // The longest prefix that fits.
        qsizetype low = 0;
        qsizetype high = line.text.size();
        while (low < high) {
            const qsizetype middle = (low + high + 1) / 2;
            if (m.width(line.text.left(middle)) <= width) {
                low = middle;
            } else {
                high = middle - 1;
            }
        }
        if (low > 0 && line.text[low - 1].isHighSurrogate()) --low;  // keep characters whole
        line.text = line.text.left(low);
        line.width = m.width(line.text);
    }
    return result;
}

}  // namespace reports
