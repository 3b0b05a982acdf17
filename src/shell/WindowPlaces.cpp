#include "shell/WindowPlaces.h"
#include "common/Settings.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QSplitter>

namespace owb::WindowPlaces {

namespace {

const QString kSection = QStringLiteral("window");

QList<int> numbers(const QString &text)
{
    QList<int> out;
    for (const QString &part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int n = part.trimmed().toInt(&ok);
        if (!ok)
            return {};
        out << n;
    }
    return out;
}

QString text(const QList<int> &values)
{
    QStringList parts;
    for (int v : values)
        parts << QString::number(v);
    return parts.join(QLatin1Char(','));
}

QString key(const QWidget &w, const char *what)
{
    return w.objectName() + QLatin1Char('/') + QLatin1String(what);
}

QList<QSplitter *> splittersOf(const QWidget &w)
{
    return w.findChildren<QSplitter *>();
}

} // namespace

QRect clamp(const QRect &saved, const QList<QRect> &screens)
{
    if (screens.isEmpty() || !saved.isValid())
        return saved;
    QRect screen = screens.first();
    qint64 best = 0;
    for (const QRect &s : screens) {
        const QRect common = s.intersected(saved);
        const qint64 area = qint64(common.width()) * common.height();
        if (area > best) {
            best = area;
            screen = s;
        }
    }
    QRect r(saved.topLeft(), saved.size().boundedTo(screen.size()));
    r.moveLeft(qBound(screen.left(), r.left(), screen.right() - r.width() + 1));
    r.moveTop(qBound(screen.top(), r.top(), screen.bottom() - r.height() + 1));
    return r;
}

QList<QRect> screenAreas()
{
    QList<QRect> areas;
    for (const QScreen *s : QGuiApplication::screens())
        areas << s->availableGeometry();
    return areas;
}

void saveMain(const QMainWindow &main)
{
    const QRect r = main.normalGeometry().isValid() ? main.normalGeometry() : main.geometry();
    Settings::save(kSection, key(main, "geometry"), text({r.x(), r.y(), r.width(), r.height()}));
    Settings::save(kSection, key(main, "maximized"), main.isMaximized() ? QStringLiteral("1") : QStringLiteral("0"));
    Settings::save(kSection, key(main, "state"), QString::fromLatin1(main.saveState().toBase64()));
}

bool restoreMain(QMainWindow &main)
{
    const QList<int> g = numbers(Settings::get(kSection, key(main, "geometry")));
    if (g.size() != 4)
        return false;
    const QRect r = clamp(QRect(g[0], g[1], g[2], g[3]).normalized(), screenAreas());
    main.setGeometry(r);
    main.restoreState(QByteArray::fromBase64(Settings::get(kSection, key(main, "state")).toLatin1()));
    if (Settings::get(kSection, key(main, "maximized")) == QLatin1String("1"))
        main.setWindowState(main.windowState() | Qt::WindowMaximized);
    return true;
}

void saveChild(const QWidget &child, const QWidget &frame)
{
    if (child.objectName().isEmpty())
        return;
    Settings::save(kSection, key(child, "size"), text({frame.width(), frame.height()}));
    QStringList positions;
    for (const QSplitter *s : splittersOf(child))
        positions << text(s->sizes());
    Settings::save(kSection, key(child, "splitters"), positions.join(QLatin1Char(';')));
}

void restoreChild(QWidget &child, QWidget &frame)
{
    if (child.objectName().isEmpty())
        return;
    const QList<int> size = numbers(Settings::get(kSection, key(child, "size")));
    if (size.size() == 2 && size[0] > 0 && size[1] > 0) {
        QSize bound = QSize(size[0], size[1]);
        const QList<QRect> screens = screenAreas();
        if (!screens.isEmpty())
            bound = bound.boundedTo(clamp(QRect(QPoint(0, 0), bound), screens).size());
        frame.resize(bound.expandedTo(frame.minimumSizeHint()));
    }
    const QStringList positions =
        Settings::get(kSection, key(child, "splitters")).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    const QList<QSplitter *> splitters = splittersOf(child);
    for (int i = 0; i < splitters.size() && i < positions.size(); ++i) {
        const QList<int> sizes = numbers(positions[i]);
        // Only a set that fits this splitter; a window changed since would be given nonsense.
        if (sizes.size() == splitters[i]->count())
            splitters[i]->setSizes(sizes);
    }
}

} // namespace owb::WindowPlaces
