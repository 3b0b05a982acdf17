#pragma once
#include <memory>
#include <string>
#include <string_view>

#include <libxml/tree.h>

#include "XmlOwned.h"

namespace ostreld::xml {

// Once per process: no external entities, no network, quiet error output.
void initialise();

struct Parsed {
    DocPtr doc;
    std::string error; // "line L, column C: reason" when doc is null
    bool tooDeep = false; // elements nest deeper than the maxDepth asked for
    bool entityUsed = false; // a reference to a declared (not predefined) entity
};

// With forceUtf8 the text is read as UTF-8 whatever its declaration names (a request body
// was decoded already); without it the declaration decides (files from disk).
// Texts of any size are read; maxDepth > 0 refuses elements nested deeper than that.
// Declared entities may be declared but never used: their expansion is not bounded.
Parsed parse(std::string_view text, bool forceUtf8 = true, int maxDepth = 0);

// Element text of a node, UTF-8, no declaration, self-contained when node is a root.
std::string serialize(xmlNodePtr node);

std::string localName(xmlNodePtr node);
std::string nsUri(xmlNodePtr node);
// Attribute value in a namespace (nullptr ns: no namespace); empty optional-like "" when absent.
bool attribute(xmlNodePtr node, const char *name, const char *ns, std::string &out);
bool isNCName(std::string_view s);

} // namespace ostreld::xml
