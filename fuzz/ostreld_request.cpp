// A whole HTTP request, as bytes from the network, through ostreld's router: request line,
// header fields, query string, a form body by Content-Length or in chunks. The front end is
// left out (no socket): the bytes are split the way the HTTP library hands them on, and the
// router is driven the way the front end drives it. Every answer must be an envelope that
// parses, with a status the protocol knows.
#include <libxml/parser.h>
#include <strings.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "Repository.h"
#include "Router.h"

namespace fs = std::filesystem;
using namespace ostreld;

namespace {

constexpr size_t kMaxBody = 64 * 1024;

struct Request {
    RequestHead head;
    std::string body;
};

// One line up to LF (a CR before it is dropped); nullopt when no LF follows.
std::optional<std::string_view> takeLine(std::string_view &in)
{
    size_t lf = in.find('\n');
    if (lf == std::string_view::npos) return std::nullopt;
    std::string_view line = in.substr(0, lf);
    in.remove_prefix(lf + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// Chunked transfer coding: hex size [; extension] CRLF data CRLF ... 0 CRLF trailers CRLF.
std::optional<std::string> unchunk(std::string_view in)
{
    std::string body;
    for (;;) {
        auto line = takeLine(in);
        if (!line) return std::nullopt;
        std::string size(line->substr(0, line->find(';')));
        char *end = nullptr;
        unsigned long long n = std::strtoull(size.c_str(), &end, 16);
        if (size.empty() || !trim(std::string_view(end)).empty() || n > in.size()) return std::nullopt;
        if (n == 0) return body;
        body.append(in.substr(0, n));
        in.remove_prefix(n);
        if (!takeLine(in)) return std::nullopt;
    }
}

// nullopt where the HTTP library itself would refuse the bytes before the router sees them.
std::optional<Request> split(std::string_view in)
{
    Request r;
    auto requestLine = takeLine(in);
    if (!requestLine) return std::nullopt;
    size_t sp1 = requestLine->find(' ');
    size_t sp2 = requestLine->rfind(' ');
    if (sp1 == std::string_view::npos || sp2 == sp1) return std::nullopt;
    r.head.method = std::string(requestLine->substr(0, sp1));
    r.head.target = std::string(requestLine->substr(sp1 + 1, sp2 - sp1 - 1));
    std::string length, transfer;
    for (;;) {
        auto line = takeLine(in);
        if (!line) return std::nullopt;
        if (line->empty()) break;
        size_t colon = line->find(':');
        if (colon == std::string_view::npos) return std::nullopt;
        std::string name(line->substr(0, colon));
        std::string value(trim(line->substr(colon + 1)));
        if (strcasecmp(name.c_str(), "Authorization") == 0) r.head.authorization = value;
        else if (strcasecmp(name.c_str(), "Content-Type") == 0) r.head.contentType = value;
        else if (strcasecmp(name.c_str(), "Content-Length") == 0) length = value;
        else if (strcasecmp(name.c_str(), "Transfer-Encoding") == 0) transfer = value;
    }
    // As the front end does: no Transfer-Encoding means the declared length counts.
    if (transfer.empty()) {
        r.head.contentLength = std::strtoull(length.c_str(), nullptr, 10);
        r.body = std::string(in.substr(0, std::min<unsigned long long>(*r.head.contentLength, in.size())));
    } else {
        auto body = unchunk(in);
        if (!body) return std::nullopt;
        r.body = std::move(*body);
    }
    return r;
}

struct Server {
    std::string pristine;
    std::string work;
    std::unique_ptr<Repository> repo;
    std::unique_ptr<Router> router;

    void reset()
    {
        router.reset();
        repo.reset();
        fs::remove(work + "-wal");
        fs::remove(work + "-shm");
        fs::copy_file(pristine, work, fs::copy_options::overwrite_existing);
        repo = std::make_unique<Repository>(work, std::vector<std::string>{"mydb"}, std::chrono::milliseconds(300));
        router = std::make_unique<Router>(*repo, std::map<std::string, std::string>{{"demo", "demo"}}, kMaxBody);
    }
};

Server *server;

// A small copy of the demo data: both schemas and a few documents of each doctype.
void makeSeed(const fs::path &seed)
{
    const fs::path demo(OSTRELD_DEMO);
    fs::create_directories(seed / "schemas");
    for (const auto &e : fs::directory_iterator(demo / "schemas"))
        fs::copy_file(e.path(), seed / "schemas" / e.path().filename());
    for (const char *coll : {"Library", "Sales"}) {
        fs::create_directories(seed / "collections" / coll);
        for (const auto &e : fs::directory_iterator(demo / "collections" / coll)) {
            const std::string name = e.path().filename().string();
            if (name.ends_with("-001.xml") || name.ends_with("-002.xml"))
                fs::copy_file(e.path(), seed / "collections" / coll / name);
        }
    }
    fs::create_directories(seed / "collections" / "Library" / "images");
    fs::copy_file(demo / "collections" / "Library" / "images" / "dot.gif",
                  seed / "collections" / "Library" / "images" / "dot.gif");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    xmlInitParser();
    const fs::path dir = fuzzcheck::scratchDir("ostreld_request");
    makeSeed(dir / "seed");
    server = new Server{(dir / "pristine.sqlite").string(), (dir / "work.sqlite").string(), {}, {}};
    {
        Repository seeding(server->pristine, {"mydb"});
        if (seeding.seed("mydb", (dir / "seed").string()) == 0) std::abort();
    }
    server->reset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    auto request = split(std::string_view(reinterpret_cast<const char *>(data), size));
    if (!request) return 0;
    Router &router = *server->router;
    const ClientGone stays = [] { return false; };

    std::optional<Outcome> answer = router.early(request->head);
    const bool reachedRepository = !answer;
    if (!answer) {
        // The body arrives in pieces; past the limit the front end answers at once.
        if (request->body.size() > router.maxBody()) answer = router.tooLarge();
        else answer = router.answer(request->head, request->body, stays);
    }

    FUZZ_CHECK(answer->status >= 200 && answer->status < 600);
    const bool isXml = answer->contentType.rfind("text/xml", 0) == 0;
    // A stored file comes back as it was stored; everything else is an envelope.
    if (isXml) FUZZ_CHECK(fuzzcheck::wellFormed(answer->body));
    FUZZ_CHECK(!answer->challenge || answer->status == 401);

    // Every input starts from the same data, so that a finding can be replayed.
    const bool write = request->head.method == "POST" || request->head.method == "PUT";
    if (write && reachedRepository) server->reset();
    return 0;
}
