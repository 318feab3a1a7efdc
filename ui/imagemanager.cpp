#include "ui/imagemanager.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QtMath>

#include <cmath>

namespace zeltpc5 {

namespace {

// An icon drawn at the sizes the windows use, each by the painter function.
template <class Draw>
QIcon drawn(Draw draw)
{
    QIcon icon;
    for (const int size : {16, 24, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        {
            QPainter p(&pixmap);
            p.setRenderHint(QPainter::Antialiasing);
            draw(p, size);
        }
        icon.addPixmap(pixmap);
    }
    return icon;
}

// A round status lamp: a filled disc with a darker rim and a highlight.
QIcon lamp(const QColor &colour)
{
    return drawn([&colour](QPainter &p, int size) {
        const qreal margin = size / 8.0;
        const QRectF disc(margin, margin, size - 2 * margin, size - 2 * margin);
        QRadialGradient fill(disc.center() - QPointF(size / 8.0, size / 8.0), disc.width() / 1.4);
        fill.setColorAt(0, colour.lighter(160));
        fill.setColorAt(1, colour);
        p.setBrush(fill);
        p.setPen(QPen(colour.darker(150), qMax(1.0, size / 16.0)));
        p.drawEllipse(disc);
    });
}

// A yellow warning triangle with an exclamation mark.
QIcon warning()
{
    return drawn([](QPainter &p, int size) {
        const qreal m = size / 16.0;
        QPainterPath triangle;
        triangle.moveTo(size / 2.0, m);
        triangle.lineTo(size - m, size - 1.5 * m);
        triangle.lineTo(m, size - 1.5 * m);
        triangle.closeSubpath();
        p.setBrush(QColor(250, 200, 30));
        p.setPen(QPen(QColor(150, 110, 0), m));
        p.drawPath(triangle);
        p.setPen(QPen(Qt::black, 1.8 * m, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(size / 2.0, size * 0.38), QPointF(size / 2.0, size * 0.66));
        p.drawPoint(QPointF(size / 2.0, size * 0.80));
    });
}

// An icon drawn on a 16-unit square, scaled to each size.
template <class Draw>
QIcon sketched(Draw draw)
{
    return drawn([&draw](QPainter &p, int size) {
        p.scale(size / 16.0, size / 16.0);
        draw(p);
    });
}

QPen outline(const QColor &colour, qreal width = 0.8)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A filled shape with a rim of its own colour, darker.
void shape(QPainter &p, const QPolygonF &polygon, const QColor &fill)
{
    p.setBrush(fill);
    p.setPen(outline(fill.darker(170)));
    p.drawPolygon(polygon);
}

// A small table of three columns under a header row; one column highlighted (-1: none).
void table(QPainter &p, const QRectF &r, int highlighted)
{
    const qreal w = r.width() / 3, h = r.height() / 3;
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(r);
    p.setBrush(QColor(200, 212, 230));
    p.drawRect(QRectF(r.left(), r.top(), r.width(), h));
    if (highlighted >= 0) {
        p.setBrush(QColor(60, 125, 220));
        p.drawRect(QRectF(r.left() + highlighted * w, r.top(), w, r.height()));
    }
    p.setPen(outline(QColor(90, 105, 130), 0.7));
    p.setBrush(Qt::NoBrush);
    for (int i = 1; i < 3; ++i) {
        p.drawLine(QPointF(r.left() + i * w, r.top()), QPointF(r.left() + i * w, r.bottom()));
        p.drawLine(QPointF(r.left(), r.top() + i * h), QPointF(r.right(), r.top() + i * h));
    }
    p.drawRect(r);
}

// A table with a round badge at the lower right holding a white plus or minus.
QIcon tableWithBadge(const QColor &colour, bool plus)
{
    return sketched([&colour, plus](QPainter &p) {
        table(p, QRectF(0.5, 1.5, 11, 10), -1);
        const QPointF c(11.5, 11.5);
        p.setBrush(colour);
        p.setPen(outline(colour.darker(160)));
        p.drawEllipse(c, 4.0, 4.0);
        p.setPen(outline(Qt::white, 1.6));
        p.drawLine(c - QPointF(2.1, 0), c + QPointF(2.1, 0));
        if (plus)
            p.drawLine(c - QPointF(0, 2.1), c + QPointF(0, 2.1));
    });
}

// A closed carton with a blue arrow going round above it.
QIcon replaceProduct()
{
    return sketched([](QPainter &p) {
        const QColor carton(214, 164, 96);
        shape(p, QPolygonF({{1, 8}, {9, 8}, {9, 15}, {1, 15}}), carton);
        shape(p, QPolygonF({{1, 8}, {3.5, 5.5}, {11.5, 5.5}, {9, 8}}), carton.lighter(118));
        shape(p, QPolygonF({{9, 8}, {11.5, 5.5}, {11.5, 12.5}, {9, 15}}), carton.darker(118));

        const QRectF bounds(8.5, 1.5, 6, 6);
        QPainterPath arc;
        arc.arcMoveTo(bounds, 90);
        arc.arcTo(bounds, 90, -270);
        const QColor arrow(30, 100, 210);
        p.strokePath(arc, outline(Qt::white, 2.8)); // keeps the arrow apart from the carton
        p.strokePath(arc, outline(arrow, 1.3));
        const QPointF end = arc.pointAtPercent(1);
        const qreal angle = qDegreesToRadians(arc.angleAtPercent(1));
        const QPointF along(std::cos(angle), -std::sin(angle)), across(-along.y(), along.x());
        shape(p, QPolygonF({end + 2 * along, end + 1.6 * across, end - 1.6 * across}), arrow);
    });
}

// A fan of three colour swatches.
QIcon replaceStyle()
{
    return sketched([](QPainter &p) {
        const QColor swatches[] = {QColor(58, 123, 213), QColor(240, 180, 41), QColor(214, 69, 69)};
        for (int i = 0; i < 3; ++i) {
            p.save();
            p.translate(4, 13.5);
            p.rotate(56 - 28 * i);
            p.setBrush(swatches[i]);
            p.setPen(outline(swatches[i].darker(170)));
            p.drawRoundedRect(QRectF(-2, -11.5, 4, 13), 1.2, 1.2);
            p.restore();
        }
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(4, 13.5), 0.9, 0.9);
    });
}

// A pencil over a written sheet.
QIcon editItem()
{
    return sketched([](QPainter &p) {
        shape(p, QPolygonF({{2, 1}, {9, 1}, {12, 4}, {12, 15}, {2, 15}}), QColor(252, 252, 252));
        shape(p, QPolygonF({{9, 1}, {9, 4}, {12, 4}}), QColor(220, 225, 232));
        p.setPen(outline(QColor(150, 165, 185)));
        for (const qreal y : {6.0, 8.5, 11.0})
            p.drawLine(QPointF(4, y), QPointF(10, y));

        p.translate(5.5, 13.5);
        p.rotate(-45);
        shape(p, QPolygonF({{0, 0}, {3, -1.6}, {3, 1.6}}), QColor(236, 200, 150));
        shape(p, QPolygonF(QRectF(3, -1.6, 6.5, 3.2)), QColor(242, 194, 48));
        shape(p, QPolygonF(QRectF(9.5, -1.6, 2, 3.2)), QColor(232, 138, 154));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(60, 60, 60));
        p.drawPolygon(QPolygonF({{0, 0}, {1.1, -0.6}, {1.1, 0.6}}));
    });
}

} // namespace

ImageManager::ImageManager()
{
    setIcon(Changed, lamp(QColor(210, 30, 30)));
    setIcon(Unchanged, lamp(QColor(20, 150, 40)));
    setIcon(Warning, warning());
    setIcon(ReplaceProduct, replaceProduct());
    setIcon(ReplaceStyle, replaceStyle());
    setIcon(EditItem, editItem());
    setIcon(SelectColumn, sketched([](QPainter &p) { table(p, QRectF(1.5, 2.5, 13, 11), 1); }));
    setIcon(AddColumn, tableWithBadge(QColor(40, 160, 60), true));
    setIcon(RemoveColumn, tableWithBadge(QColor(210, 50, 50), false));
}

} // namespace zeltpc5
