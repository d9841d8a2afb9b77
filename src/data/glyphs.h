#pragma once
// The small pictures of the navigator buttons and of the grid's record indicator, drawn
// in code so that they look the same on every desktop and offscreen.

#include <QColor>
#include <QIcon>
#include <QPainter>
#include <QRectF>

namespace data::glyphs {

enum class Shape {
    First,
    Prior,
    Next,
    Last,
    Insert,
    Delete,
    Edit,
    Post,
    Cancel,  // navigator buttons
    CurrentRow,
    EditingRow,
    InsertingRow,
    SelectedRow,  // record indicator
};

// Draws `shape` into `box` in `color` (Post and Cancel keep their own green and red).
void draw(QPainter& painter, const QRectF& box, Shape shape, const QColor& color);

// An icon for a navigator button: the desktop theme's when it has the whole set, so the
// nine buttons never mix two styles; otherwise the drawn one.
QIcon navigatorIcon(Shape shape, const QColor& color);

}  // namespace data::glyphs
