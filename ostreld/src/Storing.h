#pragma once
#include <string>
#include <string_view>

#include "SchemaRegistry.h"
#include "Store.h"

namespace ostreld {

// What a store did, or (code != 0) why it stored nothing.
struct Stored {
    int code = 0;
    std::string message;
    std::string doctype;
    long long id = 0;
    bool inserted = false;
    DocRow row;
};

// Stores an XML document in the store's open transaction. A root without osl:id is inserted
// under its doctype's next id; one with osl:id replaces that stored document. types are the
// collection's doctypes. A seed file (fromFile) is read in the encoding it declares and is
// always a new document.
Stored storeXml(Store &store, const std::string &db, const std::string &coll, const Doctypes &types,
                std::string_view text, bool fromFile);

// Stores a file of a non-XML doctype; a file under a name the doctype already holds is replaced.
Stored storeFile(Store &store, const std::string &db, const std::string &coll, const std::string &doctype,
                 const std::string &fileName, const std::string &bytes);

} // namespace ostreld
