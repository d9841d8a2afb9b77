#pragma once
// The laid-out report: pages of positioned text runs, lines and boxes, in report
// pixels (1/120 inch) measured from the paper's top-left corner. The preview, the
// printer, PDF, the text file and the report file all work from this one description.

#include <report_engine/report_font.h>

#include <QString>

#include <vector>

namespace reports {

enum class LineStyle { Solid, Dash, Dot, DashDot, DashDotDot };

// One line of text, drawn from its top-left corner; width is the text's own width.
struct PageText {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    QString text;
    ReportFont font;

    bool operator==(const PageText&) const = default;
};

struct PageLine {
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    LineStyle style = LineStyle::Solid;
    int penWidth = 1;

    bool operator==(const PageLine&) const = default;
};

struct PageBox {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    LineStyle style = LineStyle::Solid;
    int penWidth = 1;

    bool operator==(const PageBox&) const = default;
};

struct ReportPage {
    std::vector<PageText> texts;
    std::vector<PageLine> lines;
    std::vector<PageBox> boxes;

    bool operator==(const ReportPage&) const = default;
};

// US Letter, portrait.
inline constexpr int kLetterWidth = 1020;
inline constexpr int kLetterHeight = 1320;

struct ReportDocument {
    QString title;
    int paperWidth = kLetterWidth;
    int paperHeight = kLetterHeight;
    std::vector<ReportPage> pages;

    int pageCount() const { return static_cast<int>(pages.size()); }
    bool operator==(const ReportDocument&) const = default;
};

}  // namespace reports
