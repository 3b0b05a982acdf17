#pragma once
#include <string>

namespace fixtures {

inline std::string schema(const std::string &collection, const std::string &doctypes)
{
    return "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
           "xmlns:osd=\"http://namespaces.ostrel.org/ostrel/schema-definition\">"
           "<xs:annotation><xs:appinfo><osd:schemaInfo name=\"" + collection + "\"><osd:collection name=\"" + collection
           + "\"/>" + doctypes + "</osd:schemaInfo></xs:appinfo></xs:annotation>"
           "<xs:element name=\"Anything\"/></xs:schema>";
}

inline std::string salesSchema()
{
    return schema("Sales", "<osd:doctype name=\"Order\"/><osd:doctype name=\"Customer\"/>"
                           "<osd:doctype name=\"images\"><osd:nonXML/></osd:doctype>");
}

inline std::string librarySchema()
{
    return schema("Library", "<osd:doctype name=\"Book\"/>");
}

} // namespace fixtures
