#include <platform/form_style.h>

#include <QApplication>
#include <QPalette>
#include <QPushButton>
#include <QStyle>
#include <QWidget>

namespace platform {

namespace {

// Debian's fonts-liberation2 and fonts-comic-neue (scripts/install-deps.sh) hold every
// stand-in. MS Sans Serif and Arial Rounded MT Bold have no metric match; Liberation Sans
// is the nearest plain sans serif.
constexpr FaceStandIn kStandIns[] = {
    {"Arial", "Liberation Sans"},       {"Arial Rounded MT Bold", "Liberation Sans"},
    {"Courier New", "Liberation Mono"}, {"MS Sans Serif", "Liberation Sans"},
    {"Comic Sans MS", "Comic Neue"},
};

constexpr char kFormFace[] = "MS Sans Serif";

}  // namespace

QFont pixelFont(const QString& family, int pixels, bool bold, bool italic) {
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

std::span<const FaceStandIn> faceStandIns() {
    return kStandIns;
}

void installFonts() {
    // A substitute is only used when the named family itself is missing.
    for (const FaceStandIn& face : kStandIns)
        QFont::insertSubstitution(QString::fromLatin1(face.family),
                                  QString::fromLatin1(face.standIn));
    // The platform's size, so the user's scaling still applies; the forms' face.
    QFont everyday = QApplication::font();
    everyday.setFamily(QString::fromLatin1(kFormFace));
    QApplication::setFont(everyday);
    // Desktop themes may give message boxes a font of their own.
    QApplication::setFont(everyday, "QMessageBox");
}

int pushButtonTextWidth(const QPushButton& button) {
    const QStyle* style = button.style();
    int width = button.fontMetrics().horizontalAdvance(button.text()) +
                style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, &button) +
                2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &button);
    if (!button.icon().isNull()) width += button.iconSize().width() + 4;
    return width;
}

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::ButtonText, colour);
    widget->setPalette(palette);
}

}  // namespace platform
