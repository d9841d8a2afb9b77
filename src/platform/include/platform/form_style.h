#pragma once
// What every form of the program uses to dress its controls: fonts asked for by family
// at a size in pixels (the forms are laid out in pixels), and text colours.

#include <QColor>
#include <QFont>
#include <QString>

class QWidget;

namespace platform {

QFont pixelFont(const QString& family, int pixels, bool bold = false, bool italic = false);

// The colour of a label's, check box's or button's text.
void setTextColour(QWidget* widget, const QColor& colour);

inline const QColor kNavy(0x00, 0x00, 0x80);
inline const QColor kMaroon(0x80, 0x00, 0x00);

}  // namespace platform
