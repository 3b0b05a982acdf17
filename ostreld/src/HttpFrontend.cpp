#include "HttpFrontend.h"

#include <httplib.h>

#include <cstdlib>
#include <exception>
#include <vector>

#include "Envelope.h"
#include "Names.h"
#include "Repository.h"
#include "Text.h"

namespace ostreld {

namespace {

struct Target {
    std::vector<std::string> segments; // decoded
    std::vector<std::pair<std::string, std::string>> query;
};

Target splitTarget(const std::string &raw)
{
    Target t;
    size_t q = raw.find('?');
    std::string path = raw.substr(0, q);
    if (q != std::string::npos) t.query = text::parseForm(std::string_view(raw).substr(q + 1));
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

void send(httplib::Response &res, const Outcome &o)
{
    res.status = o.status;
    res.set_content(o.body, o.contentType.c_str());
}

void sendFailure(httplib::Response &res, int status, int code, const std::string &reason)
{
    res.status = status;
    res.set_content(envelope::wrap(envelope::failure(code, reason)), "text/xml; charset=UTF-8");
}

} // namespace

HttpFrontend::HttpFrontend(Repository &repo, std::map<std::string, std::string> users, size_t maxBody)
    : m_repo(repo), m_users(std::move(users)), m_maxBody(maxBody)
{
}

void HttpFrontend::install(httplib::Server &server)
{
    auto authorised = [this](const httplib::Request &req) {
        std::string h = req.get_header_value("Authorization");
        if (h.size() < 6 || strncasecmp(h.c_str(), "Basic ", 6) != 0) return false;
        size_t start = h.find_first_not_of(' ', 6);
        auto decoded = text::base64Decode(start == std::string::npos ? "" : std::string_view(h).substr(start));
        if (!decoded) return false;
        size_t colon = decoded->find(':');
        if (colon == std::string::npos) return false;
        auto u = m_users.find(decoded->substr(0, colon));
        return u != m_users.end() && u->second == decoded->substr(colon + 1);
    };
    auto refuse = [](httplib::Response &res) {
        res.set_header("WWW-Authenticate", "Basic realm=\"ostrel\"");
        sendFailure(res, 401, Unauthorized, "Unauthorized: a valid user name and password are needed");
    };

    auto handle = [this, authorised, refuse](const httplib::Request &req, httplib::Response &res,
                                             const httplib::ContentReader *reader) {
        try {
            Target t = splitTarget(req.target);
            const bool write = req.method == "POST" || req.method == "PUT";
            if (t.segments.size() < 2 || t.segments[0] != "ostrel" || !m_repo.hasDatabase(t.segments[1])) {
                sendFailure(res, 404, NotFound, "No database at " + req.path);
                return;
            }
            const std::string &db = t.segments[1];
            if (t.segments.size() == 2 && req.method == "GET") {
                const std::string *diag = param(t.query, "_diagnose");
                if (!diag) {
                    sendFailure(res, 400, BadRequest, "Nothing to do: a database answers only ?_diagnose=ping");
                } else if (!authorised(req)) {
                    refuse(res);
                } else if (*diag == "ping") {
                    res.set_content(envelope::wrap(envelope::ok("Server is alive")), "text/xml; charset=UTF-8");
                } else {
                    sendFailure(res, 400, BadRequest, "Unknown diagnosis " + *diag);
                }
                return;
            }
            if (write && !authorised(req)) {
                // The body stays unread: drop the connection rather than parse it as the next request.
                res.set_header("Connection", "close");
                refuse(res);
                return;
            }
            std::string body;
            if (reader) {
                bool tooLarge = std::strtoull(req.get_header_value("Content-Length").c_str(), nullptr, 10) > m_maxBody;
                if (!tooLarge) (*reader)([&](const char *data, size_t length) {
                    if (body.size() + length > m_maxBody) {
                        tooLarge = true;
                        return false;
                    }
                    body.append(data, length);
                    return true;
                });
                if (tooLarge) {
                    res.set_header("Connection", "close");
                    sendFailure(res, 413, TooLarge,
                                "The request body exceeds the limit of " + std::to_string(m_maxBody) + " bytes");
                    return;
                }
            }
            if (t.segments.size() == 3 && req.method == "GET") {
                const std::string *xql = param(t.query, "_xql");
                if (!xql) {
                    sendFailure(res, 400, MissingParameter, "A query needs ?_xql=");
                    return;
                }
                if (!text::isValidUtf8(*xql)) {
                    send(res, Outcome{200, envelope::wrap(envelope::failure(BadXPath, "The query is not UTF-8 text"))});
                    return;
                }
                send(res, m_repo.query(db, t.segments[2], *xql));
                return;
            }
            if (t.segments.size() == 3 && req.method == "POST") {
                std::string charset = text::charsetOf(req.get_header_value("Content-Type"));
                auto form = text::parseForm(body);
                const std::string *process = param(form, "_process");
                const std::string *del = param(form, "_delete");
                const std::string *raw = process ? process : del;
                if (!raw) {
                    sendFailure(res, 400, MissingParameter, "The body holds neither _process= nor _delete=");
                    return;
                }
                auto value = text::toUtf8(*raw, charset);
                if (!value) {
                    send(res, Outcome{200, envelope::wrap(envelope::failure(
                                               BadCharset, "The body is not valid text in the charset '"
                                                               + (charset.empty() ? std::string("utf-8") : charset) + "'"))});
                    return;
                }
                send(res, process ? m_repo.process(db, t.segments[2], *value) : m_repo.remove(db, t.segments[2], *value));
                return;
            }
            if (t.segments.size() == 4 && req.method == "PUT") {
                send(res, m_repo.put(db, t.segments[2], t.segments[3], "", body));
                return;
            }
            if (t.segments.size() == 5 && req.method == "PUT") {
                send(res, m_repo.put(db, t.segments[2], t.segments[3], t.segments[4], body));
                return;
            }
            if (t.segments.size() == 5 && req.method == "GET") {
                send(res, m_repo.file(db, t.segments[2], t.segments[3], t.segments[4]));
                return;
            }
            sendFailure(res, 404, NotFound, "No resource at " + req.path);
        } catch (const std::exception &e) {
            sendFailure(res, 500, Internal, std::string("Internal error: ") + e.what());
        }
    };

    // Bodies go through a content reader: the library caps form bodies it reads itself at 8 KB,
    // and credentials are checked before anything is read.
    server.Get(".*", [handle](const httplib::Request &req, httplib::Response &res) { handle(req, res, nullptr); });
    auto withBody = [handle](const httplib::Request &req, httplib::Response &res, const httplib::ContentReader &reader) {
        handle(req, res, &reader);
    };
    server.Post(".*", withBody);
    server.Put(".*", withBody);
    server.set_payload_max_length(m_maxBody);
    const size_t limit = m_maxBody;
    server.set_error_handler([limit](const httplib::Request &, httplib::Response &res) {
        if (!res.body.empty()) return;
        if (res.status == 413)
            sendFailure(res, 413, TooLarge, "The request body exceeds the limit of " + std::to_string(limit) + " bytes");
        else
            sendFailure(res, res.status, res.status == 404 ? NotFound : BadRequest,
                        "HTTP status " + std::to_string(res.status));
    });
}

} // namespace ostreld
