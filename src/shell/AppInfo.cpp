#include "shell/AppInfo.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#ifndef OWB_VERSION_MAJOR
#error "the build passes the program's version"
#endif

namespace owb::AppInfo {

QString title()
{
    return QStringLiteral("Ostrel Workbench");
}

QString versionText()
{
    return QStringLiteral("Version %1.%2.%3")
        .arg(OWB_VERSION_MAJOR)
        .arg(OWB_VERSION_MINOR)
        .arg(OWB_VERSION_PATCH);
}

QPixmap logo(int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QLinearGradient bg(0, 0, 0, s);
    bg.setColorAt(0, QColor(0x1f, 0x5f, 0x8b));
    bg.setColorAt(1, QColor(0x12, 0x3a, 0x57));
    p.setPen(Qt::NoPen);
    p.setBrush(bg);
    p.drawRoundedRect(QRectF(0, 0, s, s), s * 0.18, s * 0.18);

    // A document with angle brackets: the database holds XML.
    const QRectF page(s * 0.24, s * 0.14, s * 0.52, s * 0.72);
    QPainterPath sheet;
    sheet.moveTo(page.topLeft());
    sheet.lineTo(page.right() - s * 0.14, page.top());
    sheet.lineTo(page.right(), page.top() + s * 0.14);
    sheet.lineTo(page.bottomRight());
    sheet.lineTo(page.bottomLeft());
    sheet.closeSubpath();
    p.setBrush(QColor(0xf4, 0xf7, 0xfa));
    p.drawPath(sheet);

    QFont f;
    f.setBold(true);
    f.setPixelSize(qMax(6, int(s * 0.26)));
    p.setFont(f);
    p.setPen(QColor(0xe0, 0x7b, 0x1a));
    p.drawText(page.adjusted(0, s * 0.06, 0, 0), Qt::AlignCenter, QStringLiteral("</>"));
    return pm;
}

} // namespace owb::AppInfo
