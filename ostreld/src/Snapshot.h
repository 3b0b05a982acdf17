#pragma once
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Store.h"
#include "Xml.h"

namespace ostreld {

using DocKey = std::pair<std::string, long long>; // doctype, id

// Every document of one collection as a child of one element, for XPath. Queries share a
// snapshot without a lock, so it is changed in place only while nobody else holds it.
struct Snapshot {
    struct Entry {
        xmlNodePtr node = nullptr;
        std::string text; // as it goes into xql:result
    };
    xml::DocPtr doc;
    xmlNodePtr wrapper = nullptr;
    std::map<DocKey, Entry> entries;
    std::unordered_map<xmlNodePtr, DocKey> byNode;

    // Throws when the stored texts do not parse.
    static std::shared_ptr<Snapshot> build(const std::vector<DocRow> &rows, const std::string &coll);
    // Adds or replaces a document; false when it cannot, and then the snapshot must go.
    bool store(const DocRow &row);
    void remove(const DocKey &key);
};

// A stored document as it goes into xql:result.
std::string resultText(const DocRow &row);
std::string resultText(DocRow &&row);   // takes the row's text instead of copying it

} // namespace ostreld
