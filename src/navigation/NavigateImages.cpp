#include "navigation/NavigateImages.h"

#include <QPainter>
#include <QPixmap>

namespace owb {

namespace {

constexpr int Size = 16;

QPixmap canvas()
{
    QPixmap pm(Size, Size);
    pm.fill(Qt::transparent);
    return pm;
}

QIcon folder(bool open)
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(150, 110, 20));
    p.setBrush(QColor(240, 200, 80));
    p.drawRect(1, 3, 6, 2);
    if (open) {
        p.drawRect(1, 5, 12, 9);
        p.setBrush(QColor(255, 225, 120));
        p.drawPolygon(QPolygon({QPoint(3, 8), QPoint(15, 8), QPoint(13, 14), QPoint(1, 14)}));
    } else {
        p.drawRect(1, 5, 14, 9);
    }
    return QIcon(pm);
}

QIcon document()
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setPen(QColor(90, 90, 90));
    p.setBrush(Qt::white);
    p.drawRect(3, 1, 10, 14);
    p.setPen(QColor(60, 110, 200));
    for (int y = 4; y <= 12; y += 3)
        p.drawLine(5, y, 11, y);
    return QIcon(pm);
}

QIcon collections()
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setPen(QColor(40, 70, 130));
    for (int i = 0; i < 3; ++i) {
        p.setBrush(QColor(110 + 40 * i, 150 + 30 * i, 220));
        p.drawEllipse(2, 10 - 4 * i, 12, 5);
    }
    return QIcon(pm);
}

QIcon manager()
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setPen(QColor(40, 40, 40));
    p.setBrush(QColor(180, 190, 200));
    p.drawRect(1, 2, 14, 9);
    p.setBrush(QColor(60, 140, 80));
    p.drawRect(3, 4, 10, 5);
    p.drawLine(5, 14, 11, 14);
    p.drawLine(8, 11, 8, 14);
    return QIcon(pm);
}

} // namespace

QHash<QString, QIcon> navigateImages()
{
    return {
        {QStringLiteral("ClosedCollection"), folder(false)},
        {QStringLiteral("Collections"), collections()},
        {QStringLiteral("Document"), document()},
        {QStringLiteral("OpenCollection"), folder(true)},
        {QStringLiteral("OstrelManager"), manager()},
    };
}

} // namespace owb
