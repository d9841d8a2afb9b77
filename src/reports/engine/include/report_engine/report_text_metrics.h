#pragma once
// Measuring and breaking text in report pixels, with the fonts realised the way the
// painter draws them (see report_font.h). Fonts are measured once and kept.

#include <report_engine/report_font.h>

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QString>

#include <memory>
#include <vector>

namespace reports {

struct TextLine {
    QString text;
    double width = 0;  // report pixels
};

struct FontMeasure {
    explicit FontMeasure(const ReportFont& font);

    QFont font;  // kFontScale times the report size
    QFontMetricsF metrics;
    double lineSpacing;  // report pixels
    double ascent;       // report pixels

    double width(const QString& text) const;
};

class TextMetrics {
  public:
    const FontMeasure& measure(const ReportFont& font);

    // One line per paragraph.
    std::vector<TextLine> lines(const QString& text, const ReportFont& font);
    // Paragraphs broken at word boundaries (inside a word only when it is too long).
    std::vector<TextLine> wrap(const QString& text, const ReportFont& font, double width);
    // One line per paragraph, each cut to what fits in the width.
    std::vector<TextLine> cut(const QString& text, const ReportFont& font, double width);

    // Line breaks made uniform, tabs expanded, other control characters blanked and
    // trailing empty lines dropped, so every output shows the same characters.
    static QString printable(const QString& text);

  private:
    QHash<ReportFont, std::shared_ptr<FontMeasure>> fonts_;
};

}  // namespace reports
