#include "glyphs.h"

#include <QPainterPath>
#include <QPixmap>

#include <array>

namespace data::glyphs {
namespace {

constexpr QColor kPostGreen{0, 128, 0};
constexpr QColor kCancelRed{176, 0, 0};

// Shapes are laid out on a 16 x 16 grid and scaled to the box.
QPolygonF triangle(bool pointingRight, qreal left) {
    if (pointingRight) return QPolygonF({{left, 3}, {left + 6, 8}, {left, 13}});
    return QPolygonF({{left + 6, 3}, {left, 8}, {left + 6, 13}});
}

const char* themeName(Shape shape) {
    switch (shape) {
        case Shape::First:
            return "go-first";
        case Shape::Prior:
            return "go-previous";
        case Shape::Next:
            return "go-next";
        case Shape::Last:
            return "go-last";
        case Shape::Insert:
            return "list-add";
        case Shape::Delete:
            return "list-remove";
        case Shape::Edit:
            return "document-edit";
        case Shape::Post:
            return "document-save";
        case Shape::Cancel:
            return "process-stop";
        default:
            return nullptr;
    }
}

bool themeHasNavigatorSet() {
    static const bool complete = [] {
        for (Shape s : {Shape::First, Shape::Prior, Shape::Next, Shape::Last, Shape::Insert,
                        Shape::Delete, Shape::Edit, Shape::Post, Shape::Cancel})
            if (!QIcon::hasThemeIcon(QString::fromLatin1(themeName(s)))) return false;
        return true;
    }();
    return complete;
}

}  // namespace

void draw(QPainter& painter, const QRectF& box, Shape shape, const QColor& color) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.topLeft());
    painter.scale(box.width() / 16.0, box.height() / 16.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    QPen stroke(color, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (shape) {
        case Shape::First:
            painter.drawRect(QRectF(3, 3, 2, 10));
            painter.drawPolygon(triangle(false, 6));
            break;
        case Shape::Prior:
            painter.drawPolygon(triangle(false, 5));
            break;
        case Shape::Next:
            painter.drawPolygon(triangle(true, 5));
            break;
        case Shape::Last:
            painter.drawPolygon(triangle(true, 4));
            painter.drawRect(QRectF(11, 3, 2, 10));
            break;
        case Shape::Insert:
            painter.drawRect(QRectF(7, 3, 2, 10));
            painter.drawRect(QRectF(3, 7, 10, 2));
            break;
        case Shape::Delete:
            painter.drawRect(QRectF(3, 7, 10, 2));
            break;
        case Shape::Edit: {
            // A pencil, point down-left.
            QPainterPath body;
            body.moveTo(3, 13);
            body.lineTo(4, 9.5);
            body.lineTo(10.5, 3);
            body.lineTo(13, 5.5);
            body.lineTo(6.5, 12);
            body.closeSubpath();
            painter.drawPath(body);
            break;
        }
        case Shape::Post:
            stroke.setColor(kPostGreen);
            painter.setPen(stroke);
            painter.setBrush(Qt::NoBrush);
            painter.drawPolyline(QPolygonF({{3, 8.5}, {6.5, 12}, {13, 4}}));
            break;
        case Shape::Cancel:
            stroke.setColor(kCancelRed);
            painter.setPen(stroke);
            painter.drawLine(QPointF(4, 4), QPointF(12, 12));
            painter.drawLine(QPointF(12, 4), QPointF(4, 12));
            break;
        case Shape::CurrentRow:
            painter.drawPolygon(triangle(true, 5));
            break;
        case Shape::EditingRow:
            // An I-beam: the record is being typed into.
            painter.drawRect(QRectF(7.2, 3, 1.6, 10));
            painter.drawRect(QRectF(5, 3, 6, 1.5));
            painter.drawRect(QRectF(5, 11.5, 6, 1.5));
            break;
        case Shape::InsertingRow:
            stroke.setWidthF(1.8);
            painter.setPen(stroke);
            painter.drawLine(QPointF(8, 3), QPointF(8, 13));
            painter.drawLine(QPointF(3.7, 5.5), QPointF(12.3, 10.5));
            painter.drawLine(QPointF(3.7, 10.5), QPointF(12.3, 5.5));
            break;
        case Shape::SelectedRow:
            painter.drawEllipse(QRectF(5, 5, 6, 6));
            break;
    }
    painter.restore();
}

QIcon navigatorIcon(Shape shape, const QColor& color) {
    if (themeHasNavigatorSet()) return QIcon::fromTheme(QString::fromLatin1(themeName(shape)));
    QIcon icon;
    for (int size : {16, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        draw(painter, QRectF(0, 0, size, size), shape, color);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace data::glyphs
