#pragma once
#include <map>
#include <string>

namespace httplib {
class Server;
}

namespace ostreld {

class Repository;

// Maps the URL forms onto the repository, checks Basic authentication on writes and the ping.
class HttpFrontend {
public:
    HttpFrontend(Repository &repo, std::map<std::string, std::string> users, size_t maxBody);
    void install(httplib::Server &server);

private:
    Repository &m_repo;
    std::map<std::string, std::string> m_users;
    size_t m_maxBody;
};

} // namespace ostreld
