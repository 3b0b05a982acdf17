#pragma once
// What stored documents become once a replace is applied to each of them here, every blank
// kept: the expectation of the tests that replace on a server. Needs owb_xpath.
#include "xml/DomDocument.h"
#include "xpath/XPathReplace.h"

#include <QMap>
#include <QString>

namespace owbtest {

using Documents = QMap<qint32, QString>;   // id -> the document's text

inline Documents applied(const Documents &before, const owb::ReplaceRequest &request)
{
    const owb::XPathReplace replace(request);
    Documents out;
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        owb::DomDocument doc = owb::NewDOMDocument(false, true);
        doc.setPreserveWhiteSpace(true);
        doc.loadXML(it.value());
        replace.apply(doc.documentElement());
        out.insert(it.key(), doc.documentElement().xml());
    }
    return out;
}

} // namespace owbtest
