#pragma once
#include <cstddef>
#include <map>
#include <optional>
#include <string>

#include "Repository.h"

namespace ostreld {

// What is known of a request once its head has arrived.
struct RequestHead {
    std::string method;
    std::string target; // path and query as sent, still percent-encoded
    std::string authorization;
    std::string contentType;
    std::optional<unsigned long long> contentLength; // none for a chunked body
};

// Maps the URL forms onto the repository; checks Basic authentication on writes and the ping.
class Router {
public:
    Router(Repository &repo, std::map<std::string, std::string> users, size_t maxBody);

    // The answer to give before any of the body is read (no database there, no valid
    // credentials for a write, a declared length over the limit); nullopt: read the body
    // and call answer().
    std::optional<Outcome> early(const RequestHead &head) const;
    Outcome answer(const RequestHead &head, const std::string &body, const ClientGone &clientGone) const;
    Outcome tooLarge() const;
    size_t maxBody() const { return m_maxBody; }

    // Answers of the front end itself: an envelope with the status's number.
    static Outcome failure(int status, int code, const std::string &reason);

private:
    bool authorised(const RequestHead &head) const;

    Repository &m_repo;
    std::map<std::string, std::string> m_users;
    size_t m_maxBody;
};

} // namespace ostreld
