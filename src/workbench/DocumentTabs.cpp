#include "workbench/DocumentTabs.h"

namespace owb {

TabAction tabChangeAction(int previous, int shown)
{
    if (shown == TabSchema)
        return TabAction::None;
    if (previous != TabText && previous != TabSchema)
        return shown == TabResult ? TabAction::ApplyStylesheet : TabAction::None;
    return shown == TabText ? TabAction::None : TabAction::ParseText;
}

} // namespace owb
