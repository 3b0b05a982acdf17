#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "QueryBudget.h"
#include "Snapshot.h"
#include "Store.h"

namespace ostreld {

// Polled while a query runs: true once its client has gone.
using ClientGone = std::function<bool()>;

// The documents an XPath expression selects, in key order, or why it selects none.
struct Selection {
    int code = 0;
    std::string message;
    std::vector<DocKey> keys;
    std::vector<std::string> texts; // result texts of keys, when asked for
};

// A failure when the expression is no valid text; nothing when it may be evaluated.
std::optional<Selection> refuseUnreadable(const std::string &xpath);

// Doctype[@osl:id=N] and a bare doctype name, answered from the stored rows without parsing
// the collection; nothing for any other expression.
std::optional<Selection> selectFromRows(ReaderPool &readers, const std::string &db, const std::string &coll,
                                        const std::string &xpath, bool wantTexts);

// Evaluates the expression over every document of the collection under one root, within
// the budget's time limit.
Selection selectInSnapshot(const Snapshot &snapshot, const std::string &xpath, QueryBudget &budget,
                           const ClientGone &clientGone, bool wantTexts);

} // namespace ostreld
