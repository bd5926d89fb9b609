#include "ScreenImages.h"

#include <QPainter>
#include <QPainterPath>

namespace prx::pricetable {

namespace {

const QColor ink(0x33, 0x44, 0x55);

QPixmap canvas(int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    return pm;
}

void box(QPainter &p, const QRectF &r, const QColor &fill)
{
    p.setBrush(fill);
    p.setPen(QPen(fill.darker(170), 1));
    p.drawRect(r);
}

// A sheet with ruled lines: the price list the toolbar commands act on.
void sheet(QPainter &p, const QRectF &r)
{
    p.setPen(QPen(ink, 1.2));
    p.setBrush(Qt::white);
    p.drawRect(r);
    p.setPen(QPen(QColor(0x88, 0x99, 0xaa), 1));
    for (qreal y = r.top() + 4; y < r.bottom() - 1; y += 3.5)
        p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - 3, y));
}

void arrow(QPainter &p, QPointF from, QPointF to, const QColor &c)
{
    p.setPen(QPen(c, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(from, to);
    const QLineF line(to, from);
    QLineF a = line;
    a.setLength(5);
    a.setAngle(line.angle() + 35);
    QLineF b = line;
    b.setLength(5);
    b.setAngle(line.angle() - 35);
    p.drawLine(a);
    p.drawLine(b);
}

void coin(QPainter &p, QPointF centre, qreal radius)
{
    p.setPen(QPen(QColor(0x8a, 0x6d, 0x00), 1.2));
    p.setBrush(QColor(0xf2, 0xc9, 0x4c));
    p.drawEllipse(centre, radius, radius);
    QFont f = p.font();
    f.setPixelSize(int(radius * 1.5));
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius),
               Qt::AlignCenter, QStringLiteral("$"));
}

void tick(QPainter &p, const QRectF &r, const QColor &c, qreal width)
{
    QPainterPath path;
    path.moveTo(r.left() + r.width() * 0.18, r.top() + r.height() * 0.52);
    path.lineTo(r.left() + r.width() * 0.42, r.top() + r.height() * 0.76);
    path.lineTo(r.left() + r.width() * 0.84, r.top() + r.height() * 0.24);
    p.setPen(QPen(c, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

QPixmap drawIcon(ScreenIcon kind)
{
    QPixmap pm = canvas(24);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    switch (kind) {
    case ScreenIcon::ImportExport:
        sheet(p, QRectF(6.5, 3.5, 11, 17));
        arrow(p, QPointF(1, 8), QPointF(11, 8), QColor(0x1f, 0x7a, 0x3a));
        arrow(p, QPointF(23, 16), QPointF(13, 16), QColor(0x1f, 0x5f, 0xa8));
        break;
    case ScreenIcon::Calculate:
        p.setPen(QPen(ink, 1.2));
        p.setBrush(QColor(0xe8, 0xec, 0xf0));
        p.drawRoundedRect(QRectF(4.5, 2.5, 15, 19), 2, 2);
        p.setBrush(QColor(0xb8, 0xe0, 0xc0));
        p.drawRect(QRectF(7, 5, 10, 4));
        p.setBrush(ink);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                p.drawRect(QRectF(7 + c * 3.6, 11 + r * 3.2, 2.2, 2));
        break;
    case ScreenIcon::UpdatePrices:
        sheet(p, QRectF(3.5, 3.5, 12, 17));
        arrow(p, QPointF(18, 21), QPointF(18, 9), QColor(0x1f, 0x7a, 0x3a));
        coin(p, QPointF(18, 6), 4.5);
        break;
    case ScreenIcon::AutoAlter:
        sheet(p, QRectF(3.5, 3.5, 12, 17));
        p.setPen(QPen(QColor(0xc0, 0x39, 0x2b), 1.5));
        p.setBrush(QColor(0xf9, 0xd6, 0xd2));
        p.drawRoundedRect(QRectF(11.5, 11.5, 11, 8), 2, 2);
        p.setFont([&] {
            QFont f = p.font();
            f.setPixelSize(7);
            f.setBold(true);
            return f;
        }());
        p.drawText(QRectF(11.5, 11.5, 11, 8), Qt::AlignCenter, QStringLiteral("%"));
        break;
    case ScreenIcon::DiffPrices:
        p.setPen(QPen(ink, 1.2));
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(9, 12), 7.5, 7.5);
        p.drawLine(QPointF(9, 12), QPointF(9, 7));
        p.drawLine(QPointF(9, 12), QPointF(12.5, 13.5));
        coin(p, QPointF(18, 17), 5);
        break;
    case ScreenIcon::Release:
        sheet(p, QRectF(3.5, 3.5, 13, 17));
        p.setPen(QPen(QColor(0x1f, 0x5f, 0xa8), 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(13, 19), QPointF(21, 11));
        p.drawLine(QPointF(21, 11), QPointF(22.5, 12.5));
        break;
    case ScreenIcon::Approve:
        sheet(p, QRectF(3.5, 3.5, 13, 17));
        tick(p, QRectF(10, 8, 14, 14), QColor(0x1f, 0x8a, 0x3a), 2.6);
        break;
    }
    return pm;
}

} // namespace

QPixmap compositeMarker(int size)
{
    QPixmap pm = canvas(size);
    QPainter p(&pm);
    const qreal s = size;
    const qreal w = s * 0.62;
    const qreal h = s * 0.30;
    box(p, QRectF(s * 0.04, s * 0.62, w, h), QColor(0xd9, 0x8c, 0x2b));
    box(p, QRectF(s * 0.32, s * 0.62, w, h), QColor(0x3b, 0x7d, 0xc4));
    box(p, QRectF(s * 0.18, s * 0.28, w, h), QColor(0x4c, 0xa6, 0x4c));
    return pm;
}

QPixmap checkImage(bool checked, int size)
{
    QPixmap pm = canvas(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(0.5, 0.5, size - 1.0, size - 1.0);
    p.setPen(QPen(QColor(0x55, 0x5f, 0x6a), 1));
    p.setBrush(Qt::white);
    p.drawRect(r);
    if (checked)
        tick(p, r.adjusted(1, 1, -1, -1), QColor(0x1f, 0x6f, 0x2f), 2);
    return pm;
}

QIcon screenIcon(ScreenIcon kind)
{
    return QIcon(drawIcon(kind));
}

} // namespace prx::pricetable
