#include <report_engine/report_font.h>

#include <QHashFunctions>

#include <algorithm>
#include <cmath>

namespace reports {

namespace {

double normalisedSize(double pixels) {
    // Sizes outside this range are mistakes; clamping keeps QFont well-defined.
    const double clamped = std::clamp(pixels, 1.0, 2000.0);
    return std::round(clamped * 1000.0) / 1000.0;
}

}  // namespace

ReportFont::ReportFont(QString family, double pixelSize, bool bold, bool italic)
    : family_(std::move(family)),
      pixelSize_(normalisedSize(pixelSize)),
      bold_(bold),
      italic_(italic) {}

ReportFont ReportFont::fromPoints(const QString& family, double points, bool bold, bool italic) {
    return ReportFont(family, points * kReportDpi / 72.0, bold, italic);
}

ReportFont ReportFont::fromPixels(const QString& family, double pixels, bool bold, bool italic) {
    return ReportFont(family, pixels, bold, italic);
}

void ReportFont::setPixelSize(double pixels) {
    pixelSize_ = normalisedSize(pixels);
}

void ReportFont::setPointSize(double points) {
    setPixelSize(points * kReportDpi / 72.0);
}

QFont ReportFont::scaledQFont() const {
    QFont font(family_);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixelSize_ * kFontScale))));
    font.setBold(bold_);
    font.setItalic(italic_);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(true);
    return font;
}

size_t qHash(const ReportFont& font, size_t seed) {
    return qHashMulti(seed, font.family(), std::lround(font.pixelSize() * 1000.0), font.bold(),
                      font.italic());
}

}  // namespace reports
