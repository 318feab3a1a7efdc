#include "ui/imagemanager.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

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

} // namespace

ImageManager::ImageManager()
{
    setIcon(Changed, lamp(QColor(210, 30, 30)));
    setIcon(Unchanged, lamp(QColor(20, 150, 40)));
    setIcon(Warning, warning());
}

} // namespace zeltpc5
