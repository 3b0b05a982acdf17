#pragma once
// How the XSLT processor is given documents and stylesheets: as it would read them from files.
#include <QString>

#include <libxml/tree.h>

namespace owb::xsltread {

// A copy of doc, the caller's to free: entity references of the internal subset replaced by
// their text, CDATA sections as text. A module (a stylesheet) may read external entities from
// local files; a document reads none. Throws OstrelError (source "XSLT"), what naming the
// document in its description.
xmlDocPtr valueCopy(xmlDocPtr doc, const QString &what, bool module);

} // namespace owb::xsltread
