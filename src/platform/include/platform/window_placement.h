#pragma once
// Where the user last left a window: its size and position, kept per user with QSettings
// and given back at the next start, always whole on a screen and never smaller than the
// window's minimum size.

#include <QRect>
#include <QSize>
#include <QString>

class QWidget;

namespace platform {

// `saved` (position and size) moved and cut to lie within `available`, but never
// smaller than `minimum`, even where the screen is.
QRect fitOnScreen(const QRect& saved, const QSize& minimum, const QRect& available);

// Gives the window the size, position and maximised state saved under `name`; does
// nothing when none was saved. Call before the window is shown.
void restorePlacement(QWidget& window, const QString& name);

// Keeps the window's size, position (its size and position before it was maximised,
// when it is) and maximised state under `name`.
void savePlacement(const QWidget& window, const QString& name);

}  // namespace platform
