#pragma once
#include <QList>
#include <QRect>
#include <QSize>

class QMainWindow;
class QWidget;

namespace owb::WindowPlaces {

// Where the windows were, kept in the settings' section "window" from one run to the next.
// A place saved on another set of screens is brought onto the screens there are now.

// saved moved, and shrunk where it is larger, onto the screen it overlaps most; onto the
// first screen when it overlaps none. Unchanged when there are no screens.
QRect clamp(const QRect &saved, const QList<QRect> &screens);
// The available areas of the screens there are now.
QList<QRect> screenAreas();

void saveMain(const QMainWindow &main);
// False when nothing was saved: the window keeps the place it has.
bool restoreMain(QMainWindow &main);

// A child window by its object name: its frame's size and the positions of its splitters.
void saveChild(const QWidget &child, const QWidget &frame);
void restoreChild(QWidget &child, QWidget &frame);

} // namespace owb::WindowPlaces
