#pragma once
// Before a screenshot: instead of waiting a while and hoping, make the picture current.
#include <QApplication>
#include <QCoreApplication>
#include <QImage>
#include <QTest>
#include <QWidget>

namespace owbtest {

// The window of w and every other window shown (pop-ups over it) are exposed, pending layout
// and geometry changes are done, and they are painted now. On a real display a grab after this
// shows that picture: the display server handles the requests of one connection in order.
// False when the window of w was never exposed.
[[nodiscard]] inline bool paintedNow(QWidget *w)
{
    QWidget *window = w->window();
    if (!QTest::qWaitForWindowExposed(window))
        return false;
    QCoreApplication::sendPostedEvents();
    const QWidgetList shown = QApplication::topLevelWidgets();
    for (QWidget *top : shown)
        if (top != window && top->isVisible() && QTest::qWaitForWindowExposed(top))
            top->repaint();
    window->repaint();
    return true;
}

// A web view gets its picture from another process some time after the page has loaded: wait
// (up to msecs) until it shows more than one colour.
[[nodiscard]] inline bool showsContent(QWidget *view, int msecs = 15000)
{
    return QTest::qWaitFor(
        [view] {
            const QImage image = view->grab().toImage();
            for (int y = 0; y < image.height(); y += 2)
                for (int x = 0; x < image.width(); x += 2)
                    if (image.pixel(x, y) != image.pixel(0, 0))
                        return true;
            return false;
        },
        msecs);
}

} // namespace owbtest
