#pragma once
// The lines of a memo control, as the scanner takes them.

#include <QStringList>

class QPlainTextEdit;

namespace links {

// The memo's lines. `wrapped`: as the control breaks them on screen, a paragraph wider
// than the control giving several lines (with word wrap off, the same as unwrapped).
// Otherwise from one line break to the next, whatever the word-wrap setting.
QStringList memoLines(const QPlainTextEdit& memo, bool wrapped);

}  // namespace links
