#pragma once
#include <QString>
#include <QtGlobal>

namespace owb {

// The user's view of one long operation, begun through UserInteraction::beginProgress and
// ended by destroying it. Nothing is shown until the operation has lasted about half a second.
// A maximum of 0 means the amount is unknown (a busy indicator; the value then counts what was
// done so far, e.g. bytes received).
class Progress {
public:
    virtual ~Progress() = default;
    virtual void setMaximum(qint64 maximum) = 0;
    virtual void setValue(qint64 value) = 0;
    virtual void setLabel(const QString &label) = 0;
    // Whether the user asked to stop. Asking also lets the windows repaint, so callers ask
    // between steps.
    virtual bool wasCancelled() = 0;
};

} // namespace owb
