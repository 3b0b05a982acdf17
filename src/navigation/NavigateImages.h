#pragma once
#include <QHash>
#include <QIcon>
#include <QString>

namespace owb {

// The Navigate window's image list: "ClosedCollection", "Collections", "Document",
// "OpenCollection", "OstrelManager".
QHash<QString, QIcon> navigateImages();

} // namespace owb
