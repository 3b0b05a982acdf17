#include "Router.h"

#include <strings.h>

#include <algorithm>
#include <exception>
#include <vector>

#include "Envelope.h"
#include "Names.h"
#include "Text.h"

namespace ostreld {

namespace {

struct Target {
    std::string path; // decoded, as it appears in messages
    std::vector<std::string> segments; // decoded
    std::vector<std::pair<std::string, std::string>> query;
};

Target splitTarget(const std::string &raw)
{
    Target t;
    size_t q = raw.find('?');
    std::string path = raw.substr(0, q);
    if (q != std::string::npos) t.query = text::parseForm(std::string_view(raw).substr(q + 1));
    t.path = text::percentDecode(path, false);
    size_t pos = 0;
    while (pos < path.size()) {
        size_t slash = path.find('/', pos);
        if (slash == std::string::npos) slash = path.size();
        if (slash > pos) t.segments.push_back(text::percentDecode(std::string_view(path).substr(pos, slash - pos), false));
        pos = slash + 1;
    }
    return t;
}

const std::string *param(const std::vector<std::pair<std::string, std::string>> &list, const char *name)
{
    for (auto &[k, v] : list)
        if (k == name) return &v;
    return nullptr;
}

bool isWrite(const RequestHead &head)
{
    return head.method == "POST" || head.method == "PUT";
}

bool knownDatabase(const Target &t, const Repository &repo)
{
    return t.segments.size() >= 2 && t.segments[0] == "ostrel" && repo.hasDatabase(t.segments[1]);
}

Outcome refuseCredentials()
{
    Outcome o = Router::failure(401, Unauthorized, "Unauthorized: a valid user name and password are needed");
    o.challenge = true;
    return o;
}

Outcome envelopeOnly(std::string children)
{
    return Outcome{200, envelope::wrap(children)};
}

} // namespace

Router::Router(Repository &repo, std::map<std::string, std::string> users, size_t maxBody)
    : m_repo(repo), m_users(std::move(users)), m_maxBody(maxBody)
{
}

Outcome Router::failure(int status, int code, const std::string &reason)
{
    return Outcome{status, envelope::wrap(envelope::failure(code, reason))};
}

Outcome Router::tooLarge() const
{
    return failure(413, TooLarge, "The request body exceeds the limit of " + std::to_string(m_maxBody) + " bytes");
}

bool Router::authorised(const RequestHead &head) const
{
    const std::string &h = head.authorization;
    if (h.size() < 6 || strncasecmp(h.c_str(), "Basic ", 6) != 0) return false;
    size_t start = h.find_first_not_of(' ', 6);
    auto decoded = text::base64Decode(start == std::string::npos ? "" : std::string_view(h).substr(start));
    if (!decoded) return false;
    size_t colon = decoded->find(':');
    if (colon == std::string::npos) return false;
    auto u = m_users.find(decoded->substr(0, colon));
    return u != m_users.end() && u->second == decoded->substr(colon + 1);
}

std::optional<Outcome> Router::early(const RequestHead &head) const
{
    static const char *const served[] = {"GET", "HEAD", "POST", "PUT"};
    static const char *const unserved[] = {"DELETE", "OPTIONS", "PATCH", "TRACE", "CONNECT"};
    for (const char *m : unserved)
        if (head.method == m) return failure(404, NotFound, "HTTP status 404");
    if (std::find(std::begin(served), std::end(served), head.method) == std::end(served))
        return failure(400, BadRequest, "HTTP status 400");
    Target t = splitTarget(head.target);
    if (!knownDatabase(t, m_repo)) return failure(404, NotFound, "No database at " + t.path);
    if (isWrite(head) && !authorised(head)) return refuseCredentials();
    if (head.contentLength && *head.contentLength > m_maxBody) return tooLarge();
    return std::nullopt;
}

Outcome Router::answer(const RequestHead &head, const std::string &body, const ClientGone &clientGone) const
{
    try {
        if (auto refused = early(head)) return *refused;
        Target t = splitTarget(head.target);
        const std::string &db = t.segments[1];
        const std::string &method = head.method;
        if (t.segments.size() == 2 && method == "GET") {
            const std::string *diag = param(t.query, "_diagnose");
            if (!diag) return failure(400, BadRequest, "Nothing to do: a database answers only ?_diagnose=ping");
            if (!authorised(head)) return refuseCredentials();
            if (*diag == "ping") return envelopeOnly(envelope::ok("Server is alive"));
            return failure(400, BadRequest, "Unknown diagnosis " + *diag);
        }
        if (t.segments.size() == 3 && method == "GET") {
            const std::string *xql = param(t.query, "_xql");
            if (!xql) return failure(400, MissingParameter, "A query needs ?_xql=");
            if (!text::isValidUtf8(*xql))
                return envelopeOnly(envelope::failure(BadXPath, "The query is not UTF-8 text"));
            return m_repo.query(db, t.segments[2], *xql, clientGone);
        }
        if (t.segments.size() == 3 && method == "POST") {
            std::string charset = text::charsetOf(head.contentType);
            auto form = text::parseForm(body);
            const std::string *process = param(form, "_process");
            const std::string *del = param(form, "_delete");
            const std::string *raw = process ? process : del;
            if (!raw) return failure(400, MissingParameter, "The body holds neither _process= nor _delete=");
            auto value = text::toUtf8(*raw, charset);
            if (!value)
                return envelopeOnly(envelope::failure(BadCharset, "The body is not valid text in the charset '"
                                                                      + (charset.empty() ? std::string("utf-8") : charset)
                                                                      + "'"));
            return process ? m_repo.process(db, t.segments[2], *value)
                           : m_repo.remove(db, t.segments[2], *value, clientGone);
        }
        if ((t.segments.size() == 4 || t.segments.size() == 5) && method == "PUT")
            return m_repo.put(db, t.segments[2], t.segments[3], t.segments.size() == 5 ? t.segments[4] : "", body);
        if (t.segments.size() == 5 && method == "GET") return m_repo.file(db, t.segments[2], t.segments[3], t.segments[4]);
        return failure(404, NotFound, "No resource at " + t.path);
    } catch (const std::exception &e) {
        return failure(500, Internal, std::string("Internal error: ") + e.what());
    }
}

} // namespace ostreld
