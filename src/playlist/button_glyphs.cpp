#include "button_glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <QTransform>

namespace playlist {

namespace {

// Glyphs are drawn on a 32-unit square; the icon scales them to the button.
constexpr int kCanvas = 32;

QPolygonF Triangle(QPointF a, QPointF b, QPointF c) {
    return QPolygonF({a, b, c});
}

// The shape pointing right (or up); the other directions are mirror images.
QPainterPath RightShape(bool twice) {
    QPainterPath path;
    if (twice) {
        path.addPolygon(Triangle({5, 6}, {15, 16}, {5, 26}));
        path.addPolygon(Triangle({16, 6}, {26, 16}, {16, 26}));
    } else {
        path.addPolygon(Triangle({11, 6}, {21, 16}, {11, 26}));
    }
    return path;
}

QPainterPath UpShape(bool toBar) {
    QPainterPath path;
    if (toBar) {
        path.addRect(6, 5, 20, 4);
        path.addPolygon(Triangle({6, 26}, {16, 12}, {26, 26}));
    } else {
        path.addPolygon(Triangle({6, 21}, {16, 9}, {26, 21}));
    }
    return path;
}

QPainterPath InvertShape() {
    QPainterPath path;
    path.addPolygon(Triangle({3, 13}, {10, 4}, {17, 13}));
    path.addRect(8, 13, 4, 15);
    path.addPolygon(Triangle({15, 19}, {22, 28}, {29, 19}));
    path.addRect(20, 4, 4, 15);
    return path;
}

QPainterPath Mirrored(const QPainterPath& path, bool sideways) {
    QTransform flip;
    flip.translate(kCanvas / 2.0, kCanvas / 2.0);
    flip.scale(sideways ? -1 : 1, sideways ? 1 : -1);
    flip.translate(-kCanvas / 2.0, -kCanvas / 2.0);
    return flip.map(path);
}

QPainterPath Shape(Glyph glyph) {
    switch (glyph) {
        case Glyph::Include:
            return RightShape(false);
        case Glyph::IncludeAll:
            return RightShape(true);
        case Glyph::Exclude:
            return Mirrored(RightShape(false), true);
        case Glyph::ExcludeAll:
            return Mirrored(RightShape(true), true);
        case Glyph::Up:
            return UpShape(false);
        case Glyph::Down:
            return Mirrored(UpShape(false), false);
        case Glyph::Top:
            return UpShape(true);
        case Glyph::Bottom:
            return Mirrored(UpShape(true), false);
        case Glyph::Invert:
            return InvertShape();
    }
    return {};
}

QColor Colour(Glyph glyph) {
    switch (glyph) {
        case Glyph::Include:
        case Glyph::IncludeAll:
        case Glyph::Exclude:
        case Glyph::ExcludeAll:
            return QColor(0, 0, 128);  // navy: between the lists
        default:
            return QColor(0, 96, 0);  // dark green: within Selected
    }
}

QPixmap Paint(Glyph glyph, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(static_cast<qreal>(size) / kCanvas, static_cast<qreal>(size) / kCanvas);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Colour(glyph));
    QPainterPath shape = Shape(glyph);
    shape.setFillRule(Qt::WindingFill);
    painter.drawPath(shape);
    return pixmap;
}

}  // namespace

QIcon glyphIcon(Glyph glyph) {
    QIcon icon;
    for (const int size : {16, 32, 48}) icon.addPixmap(Paint(glyph, size));
    return icon;
}

}  // namespace playlist
