#include <platform/form_style.h>
#include <platform/form_widgets.h>

#include <QFontInfo>
#include <QLabel>
#include <QMessageBox>

#include <gtest/gtest.h>

namespace {

// The faces as they are drawn on a machine with the fonts install-deps.sh brings (the test
// program's main installs them as the program's does). A machine that has the named face
// itself may draw that instead.
TEST(FormFonts, EveryNamedFaceIsDrawnInTheFaceMeantForIt) {
    const std::pair<QString, QString> faces[] = {
        {"Arial", "Liberation Sans"},       {"Arial Rounded MT Bold", "Liberation Sans"},
        {"Courier New", "Liberation Mono"}, {"MS Sans Serif", "Liberation Sans"},
        {"Comic Sans MS", "Comic Neue"},
    };
    for (const auto& [family, standIn] : faces) {
        const QString drawn = QFontInfo(platform::pixelFont(family, 15, true)).family();
        EXPECT_TRUE(drawn == family || drawn == standIn)
            << family.toStdString() << " is drawn in " << drawn.toStdString();
    }
}

TEST(FormFonts, MessageBoxesAndUnstyledWindowsUseAProportionalFace) {
    QMessageBox box;
    box.setText("The memo contains characters that cannot be stored");
    const auto* text = box.findChild<QLabel*>("qt_msgbox_label");
    ASSERT_NE(text, nullptr);
    for (const QFont& font : {text->font(), QLabel().font()}) {
        const QFontInfo drawn(font);
        EXPECT_FALSE(drawn.fixedPitch()) << drawn.family().toStdString();
        EXPECT_EQ(drawn.family(), QFontInfo(platform::pixelFont("MS Sans Serif", 11)).family());
    }
}

// The pictures are drawn from SVGs into PNGs the program carries; a control asking for one
// that is not there would show nothing.
TEST(FormIcons, EachPictureHasItsNormalAndDisabledLook) {
    for (const char* name :
         {"phone", "email", "web", "open-file", "playlist", "find", "no-filter", "clipboard",
          "info", "natural-order", "alpha-order", "report", "tools", "help"}) {
        const QIcon icon = platform::formIcon(QString::fromLatin1(name));
        const QImage normal = icon.pixmap(20, 20, QIcon::Normal).toImage();
        const QImage disabled = icon.pixmap(20, 20, QIcon::Disabled).toImage();
        ASSERT_FALSE(normal.isNull()) << name;
        EXPECT_NE(normal, disabled) << name;
    }
}

}  // namespace
