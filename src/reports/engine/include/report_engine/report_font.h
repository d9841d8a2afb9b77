#pragma once
// A report font: family, size in report pixels, weight and slant.
//
// Qt only takes whole pixel sizes, and small sizes get hinted metrics that differ
// between screen and printer. So every font is realised kFontScale times larger and
// drawn under a painter scaled down by the same factor: text is measured and painted
// with the same outlines on every device.

#include <QFont>
#include <QString>

namespace reports {

// Report pixels per inch: all layout is in 1/120 inch.
inline constexpr int kReportDpi = 120;
// How much larger than its report size a font is realised (see above).
inline constexpr int kFontScale = 16;

class ReportFont {
  public:
    ReportFont() = default;
    ReportFont(QString family, double pixelSize, bool bold = false, bool italic = false);

    static ReportFont fromPoints(const QString& family, double points, bool bold = false,
                                 bool italic = false);
    static ReportFont fromPixels(const QString& family, double pixels, bool bold = false,
                                 bool italic = false);

    const QString& family() const { return family_; }
    // Size in report pixels, kept to 1/1000 so that it survives a trip through a file.
    double pixelSize() const { return pixelSize_; }
    double pointSize() const { return pixelSize_ * 72.0 / kReportDpi; }
    bool bold() const { return bold_; }
    bool italic() const { return italic_; }

    void setFamily(const QString& family) { family_ = family; }
    void setPixelSize(double pixels);
    void setPointSize(double points);
    void setBold(bool bold) { bold_ = bold; }
    void setItalic(bool italic) { italic_ = italic; }

    // The QFont to measure and draw with, kFontScale times the report size.
    QFont scaledQFont() const;

    bool operator==(const ReportFont&) const = default;

  private:
    QString family_ = QStringLiteral("Arial");
    double pixelSize_ = 10.0 * kReportDpi / 72.0;
    bool bold_ = false;
    bool italic_ = false;
};

size_t qHash(const ReportFont& font, size_t seed = 0);

}  // namespace reports
