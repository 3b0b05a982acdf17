#pragma once
#include <QString>

class QWidget;

namespace owb {

// What lower layers may ask of the main window; the shell hands the real one down.
class IMainWindow {
public:
    virtual ~IMainWindow() = default;
    virtual void setStatus(const QString &message) = 0;
    virtual void EnableDocMenu() = 0;
    virtual void DisableDocMenu() = 0;
    virtual void HideLog() = 0;
    // Puts a child window into the main window's MDI area (once) and shows it.
    virtual void showChild(QWidget *child) = 0;
    // Brings an already shown child window to the front.
    virtual void activateChild(QWidget *child) = 0;
};

} // namespace owb
