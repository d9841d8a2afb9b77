#pragma once
// The pieces every form builds itself from: its place on the screen, plain-text labels,
// buttons, and the pictures drawn from the SVGs in src/platform/icons.

#include <QIcon>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

class QLabel;
class QPushButton;
class QToolButton;
class QWidget;

namespace platform {

// Moves `window` to the middle of the free area of its owner's screen (the screen of its
// parent's window), or of the primary screen when it has no parent.
void centreOnScreen(QWidget& window);

// A label that shows `text` as plain text, never read as HTML (names and memos come from
// the table), named `objectName`, at `at` and as large as its text.
QLabel* plainLabel(QWidget* parent, const char* objectName, const QString& text = {},
                   QPoint at = {});

// A push button named `objectName`, at `place` when one is given.
QPushButton* pushButton(QWidget* parent, const char* objectName, const QString& caption,
                        const QRect& place = {}, const QIcon& icon = {});

// A tool button named `objectName` that takes no focus: the mouse presses it.
QToolButton* toolButton(QWidget* parent, const char* objectName, const QIcon& icon, QSize iconSize,
                        const QString& hint, const QRect& place);

// Whether Tab stops at `widget`; a click still gives it the focus.
void setTabStop(QWidget* widget, bool tabStop);

// A picture of the forms, `name` as in src/platform/icons ("find", "clipboard", ...): the
// PNGs drawn from its SVG at one and two times the size, with a greyed look for a disabled
// control unless `withDisabledLook` is false.
QIcon formIcon(const QString& name, bool withDisabledLook = true);

}  // namespace platform
