#pragma once
#include <memory>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>
#include <libxml/xpath.h>

namespace ostreld::xml {

// A libxml2 object that its own free function releases.
template <auto Release>
struct Releaser {
    template <class T>
    void operator()(T *p) const
    {
        Release(p);
    }
};
template <class T, auto Release>
using Owned = std::unique_ptr<T, Releaser<Release>>;

using DocPtr = Owned<xmlDoc, xmlFreeDoc>;
using NodePtr = Owned<xmlNode, xmlFreeNode>; // an unlinked node
using DtdPtr = Owned<xmlDtd, xmlFreeDtd>;    // an unlinked DTD
using ParserCtxtPtr = Owned<xmlParserCtxt, xmlFreeParserCtxt>;
using BufferPtr = Owned<xmlBuffer, xmlBufferFree>;
using SaveCtxtPtr = Owned<xmlSaveCtxt, xmlSaveClose>; // closing flushes into the target
using XPathContextPtr = Owned<xmlXPathContext, xmlXPathFreeContext>;
using XPathCompPtr = Owned<xmlXPathCompExpr, xmlXPathFreeCompExpr>;
using XPathObjectPtr = Owned<xmlXPathObject, xmlXPathFreeObject>;

// xmlFree is a variable, not a function, so it cannot be a template argument.
struct CharsRelease {
    void operator()(xmlChar *p) const { xmlFree(p); }
};
using CharsPtr = std::unique_ptr<xmlChar, CharsRelease>;

} // namespace ostreld::xml
