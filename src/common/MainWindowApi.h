#pragma once
#include <QString>

namespace owb {

// What lower layers may ask of the main window; the shell hands the real one down.
class IMainWindow {
public:
    virtual ~IMainWindow() = default;
    virtual void setStatus(const QString &message) = 0;
    virtual void EnableDocMenu() = 0;
    virtual void DisableDocMenu() = 0;
    virtual void HideLog() = 0;
};

} // namespace owb
