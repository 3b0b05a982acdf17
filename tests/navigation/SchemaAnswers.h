#pragma once
// Schema-information answers as the server writes them, for in-test servers.
#include <QByteArray>
#include <QList>

namespace answers {

inline const QByteArray Head = "<osl:response xmlns:osl=\"http://namespaces.ostrel.org/ostrel/response2\" "
                               "xmlns:xql=\"http://namespaces.ostrel.org/xql\" "
                               "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
                               "xmlns:osd=\"http://namespaces.ostrel.org/ostrel/schema-definition\">";
inline const QByteArray Tail = "<osl:message osl:returnvalue=\"0\"><osl:messageline>ok</osl:messageline>"
                               "</osl:message></osl:response>";

// doctypes: a name, or a name + "!" for a non-XML doctype. A null collection leaves out
// the osd:collection element.
inline QByteArray schemaInfo(const QByteArray &collection, const QList<QByteArray> &doctypes)
{
    QByteArray s = "<osd:schemaInfo name=\"" + collection + "\">";
    if (!collection.isNull())
        s += "<osd:collection name=\"" + collection + "\"/>";
    for (QByteArray d : doctypes) {
        const bool nonXml = d.endsWith('!');
        d.replace("!", "");
        s += "<osd:doctype name=\"" + d + "\">" + (nonXml ? "<osd:nonXML/>" : "") + "</osd:doctype>";
    }
    return s + "</osd:schemaInfo>";
}

// A whole schema document as stored; id 0 leaves out osl:id.
inline QByteArray schema(const QByteArray &collection, const QList<QByteArray> &doctypes, int id = 0)
{
    QByteArray s = "<xs:schema" + (id ? " osl:id=\"" + QByteArray::number(id) + "\"" : QByteArray())
        + "><xs:annotation><xs:appinfo>" + schemaInfo(collection, doctypes) + "</xs:appinfo></xs:annotation>";
    for (QByteArray d : doctypes)
        s += "<xs:element name=\"" + d.replace("!", "") + "\" type=\"xs:string\"/>";
    return s + "</xs:schema>";
}

inline QByteArray answer(const QByteArray &results)
{
    return Head + "<xql:query>q</xql:query><xql:result>" + results + "</xql:result>" + Tail;
}

} // namespace answers
