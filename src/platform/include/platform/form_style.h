#pragma once
// What every form of the program uses to dress its controls: fonts asked for by family
// at a size in pixels (the forms are laid out in pixels), and text colours.

#include <QColor>
#include <QFont>
#include <QString>

#include <span>

class QPushButton;
class QWidget;

namespace platform {

QFont pixelFont(const QString& family, int pixels, bool bold = false, bool italic = false);

// A face the forms name, and the free face drawn in its place where the named one is
// not installed (Linux): the metric-compatible one where there is such a face.
struct FaceStandIn {
    const char* family;
    const char* standIn;
};
std::span<const FaceStandIn> faceStandIns();

// Call once, right after the application object is made: registers the stand-ins and
// gives every window that sets no font of its own (message boxes, the standard dialogs)
// the forms' face. Left to itself, fontconfig may answer an unknown family, or even the
// toolkit's "Sans Serif", with a monospaced face on a machine with few fonts.
void installFonts();

// The width a push button needs to show its icon and text whole in its font; styles may
// ask for more, for looks only.
int pushButtonTextWidth(const QPushButton& button);

// The colour of a label's, check box's or button's text.
void setTextColour(QWidget* widget, const QColor& colour);

inline const QColor kNavy(0x00, 0x00, 0x80);
inline const QColor kMaroon(0x80, 0x00, 0x00);

}  // namespace platform
