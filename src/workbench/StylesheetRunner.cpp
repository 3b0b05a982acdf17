#include "workbench/StylesheetRunner.h"

#include "common/AppPaths.h"
#include "common/OstrelError.h"
#include "xml/Namespaces.h"

#include <QFile>
#include <QFileInfo>

namespace owb {

DomDocument StylesheetRunner::stylesheetDocument()
{
    DomDocument style = NewDOMDocument(false, true);
    style.setSelectionNamespaces(QStringLiteral("xmlns:xsl='%1'").arg(QLatin1String(ns::XSL)));
    style.setPreserveWhiteSpace(true);
    style.setEntities(DomEntities::WithLocalFiles);
    return style;
}

void StylesheetRunner::load(const QString &stylesheetText, const QString &location)
{
    DomDocument style = stylesheetDocument();
    // The path as it is, as the processor takes a file name for the stylesheet's URL.
    const QString base = location.isEmpty() ? QString() : QFileInfo(location).absoluteFilePath();
    if (!style.loadXML(stylesheetText, base))
        throw OstrelError(QStringLiteral("StylesheetRunner"), style.parseError().reason);
    m_stylesheet = style;
}

void StylesheetRunner::load(const DomDocument &stylesheet)
{
    m_stylesheet = stylesheet;
}

QString StylesheetRunner::extensionFor(const XsltTransform::Result &result)
{
    if (!result.outputDeclared)
        return QStringLiteral("xml");
    if (result.method.isEmpty())
        return result.html ? QStringLiteral("html") : QStringLiteral("xml");
    if (result.method == QLatin1String("xml"))
        return QStringLiteral("xml");
    if (result.method == QLatin1String("html"))
        return QStringLiteral("html");
    return QStringLiteral("txt");
}

XsltTransform::Result StylesheetRunner::transform(const DomNode &element) const
{
    XsltTransform xslt;
    xslt.loadStylesheet(m_stylesheet);
    return xslt.transform(element.ownerDocument());
}

QString StylesheetRunner::run(const DomNode &element) const
{
    const XsltTransform::Result result = transform(element);
    const QString path = AppPaths::ensureWritableDir(QStringLiteral("output")) + QStringLiteral("/result.")
                         + extensionFor(result);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(result.bytes) != result.bytes.size()
        || !file.flush())
        throw OstrelError(QStringLiteral("frmOstrelClient"),
                          QStringLiteral("Cannot write ") + path + QStringLiteral(": ") + file.errorString());
    return path;
}

} // namespace owb
