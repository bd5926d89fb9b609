#include "ToolIcons.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace prx {

namespace {

const QColor green(0x2e, 0x8b, 0x3a);
const QColor red(0xc6, 0x28, 0x28);
const QColor blue(0x1e, 0x5a, 0xa8);
const QColor dark(0x3c, 0x3c, 0x3c);
const QColor amber(0xd9, 0x8c, 0x1f);

QPen pen(const QColor &color, qreal width)
{
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void triangle(QPainter &p, qreal x, bool pointsLeft, const QColor &color)
{
    QPainterPath path;
    if (pointsLeft) {
        path.moveTo(x + 7, 5);
        path.lineTo(x, 12);
        path.lineTo(x + 7, 19);
    } else {
        path.moveTo(x, 5);
        path.lineTo(x + 7, 12);
        path.lineTo(x, 19);
    }
    path.closeSubpath();
    p.fillPath(path, color);
}

// Every picture is drawn on a 24 x 24 grid.
void draw(QPainter &p, ToolIcon kind)
{
    switch (kind) {
    case ToolIcon::Include:
        p.setPen(pen(green, 3.2));
        p.drawLine(QPointF(12, 4), QPointF(12, 20));
        p.drawLine(QPointF(4, 12), QPointF(20, 12));
        break;
    case ToolIcon::Alter: {
        p.setPen(pen(dark, 1.2));
        QPainterPath body;
        body.moveTo(6, 15);
        body.lineTo(16, 5);
        body.lineTo(19, 8);
        body.lineTo(9, 18);
        body.closeSubpath();
        p.fillPath(body, amber);
        p.drawPath(body);
        QPainterPath tip;
        tip.moveTo(6, 15);
        tip.lineTo(9, 18);
        tip.lineTo(4.5, 19.5);
        tip.closeSubpath();
        p.fillPath(tip, QColor(0xf0, 0xd9, 0xb5));
        p.drawPath(tip);
        break;
    }
    case ToolIcon::Delete:
        p.setPen(pen(red, 3.2));
        p.drawLine(QPointF(5, 12), QPointF(19, 12));
        p.setPen(pen(red, 1.4));
        p.drawRoundedRect(QRectF(3, 8, 18, 8), 2, 2);
        break;
    case ToolIcon::Confirm:
        p.setPen(pen(green, 3.2));
        p.drawPolyline(QList<QPointF>{{4.5, 12.5}, {9.5, 17.5}, {19.5, 6.5}});
        break;
    case ToolIcon::Cancel:
        p.setPen(pen(red, 3));
        p.drawLine(QPointF(6, 6), QPointF(18, 18));
        p.drawLine(QPointF(18, 6), QPointF(6, 18));
        break;
    case ToolIcon::Refresh: {
        p.setPen(pen(blue, 2.4));
        p.drawArc(QRectF(5, 5, 14, 14), 60 * 16, 280 * 16);
        QPainterPath head;
        head.moveTo(15.5, 2.5);
        head.lineTo(20, 7.5);
        head.lineTo(13.5, 8.5);
        head.closeSubpath();
        p.fillPath(head, blue);
        break;
    }
    case ToolIcon::Find:
    case ToolIcon::Search:
        p.setPen(pen(dark, 2.2));
        p.setBrush(QColor(0xd6, 0xe8, 0xf7));
        p.drawEllipse(QRectF(4, 4, 11, 11));
        p.setPen(pen(dark, 3.2));
        p.drawLine(QPointF(14, 14), QPointF(19.5, 19.5));
        break;
    case ToolIcon::Print:
        p.setPen(pen(dark, 1.2));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(7, 3.5, 10, 6));
        p.setBrush(QColor(0x8a, 0x8f, 0x96));
        p.drawRoundedRect(QRectF(3.5, 9.5, 17, 8), 1.5, 1.5);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(7, 14.5, 10, 6));
        p.fillRect(QRectF(17, 11.5, 2, 1.5), green);
        break;
    case ToolIcon::Automatic: {
        QPainterPath bolt;
        bolt.moveTo(13.5, 2.5);
        bolt.lineTo(6, 13.5);
        bolt.lineTo(11.5, 13.5);
        bolt.lineTo(9.5, 21.5);
        bolt.lineTo(18, 10);
        bolt.lineTo(12.5, 10);
        bolt.closeSubpath();
        p.setPen(pen(QColor(0x9a, 0x6a, 0x10), 1));
        p.setBrush(QColor(0xf2, 0xb8, 0x2a));
        p.drawPath(bolt);
        break;
    }
    case ToolIcon::Help: {
        p.setPen(Qt::NoPen);
        p.setBrush(blue);
        p.drawEllipse(QRectF(3, 3, 18, 18));
        QFont font = p.font();
        font.setBold(true);
        font.setPixelSize(14);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRectF(3, 3, 18, 18), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    case ToolIcon::Close:
        p.setPen(pen(dark, 1.4));
        p.setBrush(QColor(0xb8, 0x86, 0x4b));
        p.drawRect(QRectF(4.5, 3.5, 10, 17));
        p.setPen(pen(red, 2.4));
        p.drawLine(QPointF(10, 12), QPointF(20.5, 12));
        p.drawPolyline(QList<QPointF>{{17, 8.5}, {20.5, 12}, {17, 15.5}});
        break;
    case ToolIcon::First:
        p.fillRect(QRectF(5, 5, 2.5, 14), dark);
        triangle(p, 9, true, dark);
        break;
    case ToolIcon::Prior:
        triangle(p, 8, true, dark);
        break;
    case ToolIcon::Next:
        triangle(p, 9, false, dark);
        break;
    case ToolIcon::Last:
        triangle(p, 7.5, false, dark);
        p.fillRect(QRectF(16.5, 5, 2.5, 14), dark);
        break;
    case ToolIcon::Calendar:
        p.setPen(pen(dark, 1.2));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(3.5, 5.5, 17, 15));
        p.fillRect(QRectF(4, 6, 16, 4), red);
        for (int r = 0; r < 2; ++r) {
            for (int c = 0; c < 4; ++c)
                p.fillRect(QRectF(6 + c * 3.5, 12 + r * 3.5, 2, 2), dark);
        }
        p.drawLine(QPointF(8, 3.5), QPointF(8, 7));
        p.drawLine(QPointF(16, 3.5), QPointF(16, 7));
        break;
    case ToolIcon::Ellipsis:
        p.setPen(Qt::NoPen);
        p.setBrush(dark);
        for (int i = 0; i < 3; ++i)
            p.drawEllipse(QPointF(6 + i * 6, 16), 1.9, 1.9);
        break;
    }
}

QPixmap render(ToolIcon kind, int size, bool disabled)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 24.0, size / 24.0);
    if (disabled)
        p.setOpacity(0.35);
    draw(p, kind);
    return pixmap;
}

} // namespace

QIcon toolIcon(ToolIcon kind)
{
    static QHash<int, QIcon> cache;
    const auto it = cache.constFind(int(kind));
    if (it != cache.constEnd())
        return *it;
    QIcon icon;
    for (int size : {16, 24, 32, 48}) {
        icon.addPixmap(render(kind, size, false), QIcon::Normal);
        icon.addPixmap(render(kind, size, true), QIcon::Disabled);
    }
    cache.insert(int(kind), icon);
    return icon;
}

} // namespace prx
