// The built-in button glyphs, drawn once in code: two 16 x 16 images per glyph, normal and hot.
#include "controls/ui/Glyphs.h"

#include <QPainter>
#include <QPainterPath>

namespace pardova {

namespace {

QPixmap NewImage() {
    QPixmap image(kGlyphSize, kGlyphSize);
    image.fill(Qt::transparent);
    return image;
}

// The closed outline through the given corners, in order.
QPainterPath Outline(std::initializer_list<QPointF> corners) {
    QPainterPath path;
    for (const QPointF& corner : corners) {
        if (path.elementCount() == 0) {
            path.moveTo(corner);
        } else {
            path.lineTo(corner);
        }
    }
    path.closeSubpath();
    return path;
}

void DrawSheet(QPainter& p) {
    const QPainterPath sheet = Outline({{3.5, 1.5}, {9.5, 1.5}, {12.5, 4.5}, {12.5, 14.5}, {3.5, 14.5}});
    p.setPen(QColor(96, 96, 96));
    p.setBrush(Qt::white);
    p.drawPath(sheet);
    p.drawLine(QPointF(9.5, 1.5), QPointF(9.5, 4.5));
    p.drawLine(QPointF(9.5, 4.5), QPointF(12.5, 4.5));
    p.setPen(QColor(160, 170, 190));
    for (int y = 7; y <= 12; y += 2) {
        p.drawLine(5, y, 10, y);
    }
}

void DrawMagnifier(QPainter& p, QPointF centre, qreal radius) {
    p.setPen(QPen(QColor(40, 40, 40), 1.6));
    p.setBrush(QColor(190, 225, 255, 200));
    p.drawEllipse(centre, radius, radius);
    p.setPen(QPen(QColor(40, 40, 40), 2.2, Qt::SolidLine, Qt::RoundCap));
    const qreal d = radius * 0.72;
    p.drawLine(centre + QPointF(d, d), centre + QPointF(d + 3, d + 3));
}

void DrawFolder(QPainter& p) {
    p.setPen(QColor(160, 120, 20));
    p.setBrush(QColor(240, 200, 80));
    p.drawPath(Outline({{1.5, 3.5}, {6.5, 3.5}, {7.5, 5.5}, {14.5, 5.5}, {14.5, 13.5}, {1.5, 13.5}}));
    p.setBrush(QColor(255, 220, 110));
    p.drawRect(QRectF(1.5, 7.5, 13, 6));
}

void DrawArrow(QPainter& p) {
    p.setPen(QColor(20, 110, 20));
    p.setBrush(QColor(60, 190, 60));
    p.drawPath(Outline({{7, 8}, {11, 8}, {11, 6}, {15, 10}, {11, 14}, {11, 12}, {7, 12}}));
}

void DrawDots(QPainter& p, const QColor& colour) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    for (int x : {3, 7, 11}) {
        p.drawRect(x, 10, 2, 2);
    }
}

void DrawDropArrow(QPainter& p, const QColor& colour) {
    QPolygonF triangle;
    triangle << QPointF(4, 6) << QPointF(12, 6) << QPointF(8, 10.5);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(triangle);
}

QList<QPixmap> MakeGlyphs() {
    QList<QPixmap> images;
    auto add = [&images](auto draw) {
        QPixmap image = NewImage();
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        draw(p);
        p.end();
        images.append(image);
    };
    add([](QPainter& p) { DrawSheet(p); });
    add([](QPainter& p) {
        DrawSheet(p);
        DrawMagnifier(p, QPointF(8.5, 8.5), 3.2);
    });
    add([](QPainter& p) { DrawFolder(p); });
    add([](QPainter& p) {
        DrawFolder(p);
        DrawArrow(p);
    });
    add([](QPainter& p) { DrawDots(p, QColor(60, 60, 60)); });
    add([](QPainter& p) { DrawDots(p, QColor(0, 90, 200)); });
    add([](QPainter& p) { DrawDropArrow(p, QColor(60, 60, 60)); });
    add([](QPainter& p) { DrawDropArrow(p, QColor(0, 90, 200)); });
    add([](QPainter& p) { DrawMagnifier(p, QPointF(6.5, 6.5), 4); });
    add([](QPainter& p) {
        p.setOpacity(1.0);
        DrawMagnifier(p, QPointF(6.5, 6.5), 4.5);
    });
    return images;
}

} // namespace

const QList<QPixmap>& BuiltInGlyphs() {
    static const QList<QPixmap> glyphs = MakeGlyphs();
    return glyphs;
}

} // namespace pardova
