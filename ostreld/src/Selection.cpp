#include "Selection.h"

#include <algorithm>
#include <regex>
#include <set>

#include <libxml/xpathInternals.h>

#include "Names.h"
#include "Text.h"

namespace ostreld {

namespace {

const std::pair<const char *, const char *> kPrefixes[] = {
    {"osl", kOslUri}, {"osd", kOsdUri}, {"xql", kXqlUri}, {"xs", kXsUri}};

const char *prefixUri(const std::string &prefix)
{
    for (auto &[p, uri] : kPrefixes)
        if (prefix == p) return uri;
    return nullptr;
}

Selection failed(int code, std::string message)
{
    Selection sel;
    sel.code = code;
    sel.message = std::move(message);
    return sel;
}

// Doctype[@osl:id=N]: straight to the primary key instead of scanning the collection.
std::optional<Selection> selectById(ReaderPool &readers, const std::string &db, const std::string &coll,
                                    const std::string &xpath, bool wantTexts)
{
    static const std::regex byId(
        R"re(^\s*(?:([A-Za-z_][A-Za-z0-9_.\-]*):)?([A-Za-z_][A-Za-z0-9_.\-]*)\s*\[\s*@osl:id\s*=\s*(?:([0-9]{1,10})|'([0-9]{1,10})'|"([0-9]{1,10})")\s*\]\s*$)re");
    std::smatch m;
    if (!std::regex_match(xpath, m, byId)) return std::nullopt;
    const char *uri = m[1].matched ? prefixUri(m[1].str()) : "";
    std::string digits = m[3].matched ? m[3].str() : m[4].matched ? m[4].str() : m[5].str();
    // A quoted value compares as a string: only the canonical spelling can match.
    bool canonical = m[3].matched || digits[0] != '0';
    if (!uri || !canonical) return std::nullopt;
    Selection sel;
    if (auto id = text::parseId(digits)) {
        auto row = readers.take()->fetch(db, coll, m[2].str(), *id);
        if (row && row->ns == uri) {
            sel.keys.emplace_back(row->doctype, row->id);
            if (wantTexts) sel.texts.push_back(resultText(std::move(*row)));
        }
    }
    return sel;
}

// A bare doctype name lists every document of it: the rows are all it needs, and a
// collection of big documents need not be parsed for it.
std::optional<Selection> selectByName(ReaderPool &readers, const std::string &db, const std::string &coll,
                                      const std::string &xpath, bool wantTexts)
{
    static const std::regex byName(R"re(^\s*(?:([A-Za-z_][A-Za-z0-9_.\-]*):)?([A-Za-z_][A-Za-z0-9_.\-]*)\s*$)re");
    std::smatch m;
    if (!std::regex_match(xpath, m, byName)) return std::nullopt;
    const char *uri = m[1].matched ? prefixUri(m[1].str()) : "";
    if (!uri) return std::nullopt;
    Selection sel;
    for (DocRow &row : readers.take()->ofDoctype(db, coll, m[2].str())) {
        if (row.ns != uri) continue;
        sel.keys.emplace_back(row.doctype, row.id);
        if (wantTexts) sel.texts.push_back(resultText(std::move(row)));
    }
    return sel;
}

// libxml2 keeps the message only in the thread's last error; the context has the offset.
std::string reason(xmlXPathContextPtr ctx, const char *fallback)
{
    const xmlError *e = xmlGetLastError();
    std::string r = e && e->message ? e->message : fallback;
    while (!r.empty() && (r.back() == '\n' || r.back() == ' ')) r.pop_back();
    if (ctx->lastError.str1) r += " at character " + std::to_string(ctx->lastError.int1 + 1);
    return r;
}

Selection stoppedQuery(StopReason why, std::chrono::milliseconds limit)
{
    const auto ms = limit.count();
    return failed(QueryLimit,
                  why == StopReason::TimeUp
                      ? "The query was stopped: it ran longer than the query limit of "
                            + (ms % 1000 ? std::to_string(ms) + " ms" : std::to_string(ms / 1000) + " s")
                      : std::string("The query was stopped: the server is shutting down or its client has gone"));
}

Selection failedEvaluation(xmlXPathContextPtr ctx, const std::string &xpath)
{
    if (ctx->lastError.code == XML_XPATH_UNDEF_PREFIX_ERROR)
        return failed(UnknownPrefix, "Unknown namespace prefix in " + xpath + " (bound prefixes: osl, osd, xql, xs)");
    return failed(BadXPath, "Invalid XPath expression " + xpath + ": " + reason(ctx, "evaluation failed"));
}

// The documents that hold the selected nodes, each once.
Selection documentsOf(const Snapshot &s, xmlNodeSetPtr nodes, bool wantTexts)
{
    Selection sel;
    if (!nodes) return sel;
    std::set<DocKey> seen;
    for (int i = 0; i < nodes->nodeNr; ++i) {
        xmlNodePtr n = nodes->nodeTab[i];
        if (n->type == XML_NAMESPACE_DECL) n = reinterpret_cast<xmlNodePtr>(reinterpret_cast<xmlNsPtr>(n)->next);
        while (n && n->parent != s.wrapper) n = n->parent;
        if (!n) continue;
        auto k = s.byNode.find(n);
        if (k != s.byNode.end() && seen.insert(k->second).second) sel.keys.push_back(k->second);
    }
    std::sort(sel.keys.begin(), sel.keys.end());
    if (wantTexts)
        for (const DocKey &k : sel.keys) sel.texts.push_back(s.entries.at(k).text);
    return sel;
}

} // namespace

std::optional<Selection> refuseUnreadable(const std::string &xpath)
{
    if (xpath.find('\0') != std::string::npos || !text::isValidUtf8(xpath))
        return failed(BadXPath, "The XPath expression is not valid text");
    return std::nullopt;
}

std::optional<Selection> selectFromRows(ReaderPool &readers, const std::string &db, const std::string &coll,
                                        const std::string &xpath, bool wantTexts)
{
    if (auto sel = selectById(readers, db, coll, xpath, wantTexts)) return sel;
    return selectByName(readers, db, coll, xpath, wantTexts);
}

Selection selectInSnapshot(const Snapshot &s, const std::string &xpath, QueryBudget &budget,
                           const ClientGone &clientGone, bool wantTexts)
{
    xml::XPathContextPtr ctx(xmlXPathNewContext(s.doc.get()));
    for (auto &[p, uri] : kPrefixes) xmlXPathRegisterNs(ctx.get(), BAD_CAST p, BAD_CAST uri);
    ctx->node = s.wrapper;
    xmlResetLastError();
    xml::XPathCompPtr comp(xmlXPathCtxtCompile(ctx.get(), BAD_CAST xpath.c_str()));
    if (!comp)
        return failed(BadXPath, "Invalid XPath expression " + xpath + ": " + reason(ctx.get(), "syntax error"));
    xml::XPathObjectPtr obj;
    StopReason stopped = StopReason::None;
    {
        QueryBudget::Watch watch(budget, ctx.get(), clientGone);
        obj.reset(xmlXPathCompiledEval(comp.get(), ctx.get()));
        stopped = watch.reason();
    }
    if (stopped != StopReason::None) return stoppedQuery(stopped, budget.limit());
    if (!obj) return failedEvaluation(ctx.get(), xpath);
    if (obj->type != XPATH_NODESET)
        return failed(NotNodeSet, "The expression " + xpath + " gives a value, not a set of nodes");
    return documentsOf(s, obj->nodesetval, wantTexts);
}

} // namespace ostreld
