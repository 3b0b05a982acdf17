#include "Options.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>

namespace ostreld {

std::string defaultDataFile()
{
    const char *xdg = std::getenv("XDG_DATA_HOME");
    std::string base;
    if (xdg && *xdg) {
        base = xdg;
    } else {
        const char *home = std::getenv("HOME");
        base = std::string(home && *home ? home : ".") + "/.local/share";
    }
    return base + "/ostreld/ostreld.sqlite";
}

std::string usage()
{
    return "Usage: ostreld [options]\n"
           "  --port N          TCP port (default 8790; 0 picks a free port and prints it)\n"
           "  --bind ADDRESS    address to listen on (default 127.0.0.1)\n"
           "  --db NAME         serve database NAME (default mydb; repeat for more)\n"
           "  --data FILE       SQLite file holding the data (default " + defaultDataFile() + ")\n"
           "  --users U:P,...   users allowed to write and ping (default admin:admin)\n"
           "  --seed DIR        load schemas and documents from DIR into every empty database\n"
           "  --max-body BYTES  largest request body accepted (default 67108864)\n"
           "  --query-limit S   longest a query may run, in seconds (default 5)\n"
           "  --header-timeout S  longest a request's headers may take after its first line (default 10)\n"
           "  --idle-timeout S  longest a connection may wait before it sends a request (default 15)\n"
           "  --max-connections N  connections at a time (default 256)\n"
           "  --max-connections-per-address N  connections at a time from one address (default 32)\n"
           "  --tls-cert FILE   serve HTTPS with this PEM certificate (chain); needs --tls-key\n"
           "  --tls-key FILE    the certificate's PEM private key, unencrypted\n"
           "  --help            show this text\n";
}

std::optional<Options> parseOptions(const std::vector<std::string> &args, std::string &error)
{
    Options o;
    bool usersGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "--help" || a == "-h") {
            o.help = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            static const std::set<std::string> valued{"--port", "--bind", "--db", "--data", "--users", "--seed",
                                                      "--max-body", "--query-limit", "--header-timeout", "--idle-timeout",
                                                      "--max-connections", "--max-connections-per-address",
                                                      "--tls-cert", "--tls-key"};
            error = valued.count(a) ? "option " + a + " needs a value" : "unknown option " + a;
            return std::nullopt;
        }
        const std::string &v = args[++i];
        if (a == "--port") {
            char *end = nullptr;
            long p = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || *end || p < 0 || p > 65535) {
                error = "--port needs a number from 0 to 65535";
                return std::nullopt;
            }
            o.port = int(p);
        } else if (a == "--bind") {
            o.bind = v;
        } else if (a == "--db") {
            if (v.empty() || v.find_first_of("/?#% ") != std::string::npos) {
                error = "--db: '" + v + "' cannot be a database name";
                return std::nullopt;
            }
            o.databases.push_back(v);
        } else if (a == "--data") {
            o.dataFile = v;
        } else if (a == "--users") {
            usersGiven = true;
            size_t pos = 0;
            while (pos <= v.size()) {
                size_t comma = v.find(',', pos);
                if (comma == std::string::npos) comma = v.size();
                std::string pair = v.substr(pos, comma - pos);
                size_t colon = pair.find(':');
                if (colon == std::string::npos || colon == 0) {
                    error = "--users: '" + pair + "' is not user:password";
                    return std::nullopt;
                }
                o.users[pair.substr(0, colon)] = pair.substr(colon + 1);
                pos = comma + 1;
            }
        } else if (a == "--seed") {
            o.seedDir = v;
        } else if (a == "--max-body") {
            char *end = nullptr;
            unsigned long long n = std::strtoull(v.c_str(), &end, 10);
            if (v.empty() || *end || n == 0) {
                error = "--max-body needs a positive number of bytes";
                return std::nullopt;
            }
            o.maxBody = size_t(n);
        } else if (a == "--query-limit" || a == "--header-timeout" || a == "--idle-timeout") {
            char *end = nullptr;
            double seconds = std::strtod(v.c_str(), &end);
            if (v.empty() || *end || !(seconds > 0) || seconds > 86400) {
                error = a + " needs a number of seconds above 0";
                return std::nullopt;
            }
            auto ms = std::chrono::milliseconds(std::max<long long>(1, std::llround(seconds * 1000)));
            (a == "--query-limit" ? o.queryLimit : a == "--header-timeout" ? o.headerTimeout : o.idleTimeout) = ms;
        } else if (a == "--max-connections" || a == "--max-connections-per-address") {
            char *end = nullptr;
            unsigned long n = std::strtoul(v.c_str(), &end, 10);
            if (v.empty() || *end || n == 0 || n > 100000) {
                error = a + " needs a positive number";
                return std::nullopt;
            }
            (a == "--max-connections" ? o.maxConnections : o.maxPerAddress) = unsigned(n);
        } else if (a == "--tls-cert" || a == "--tls-key") {
            if (v.empty()) {
                error = a + " needs a file";
                return std::nullopt;
            }
            (a == "--tls-cert" ? o.tlsCert : o.tlsKey) = v;
        } else {
            error = "unknown option " + a;
            return std::nullopt;
        }
    }
    if (o.tlsCert.empty() != o.tlsKey.empty()) {
        error = "--tls-cert and --tls-key go together";
        return std::nullopt;
    }
    if (o.databases.empty()) o.databases.push_back("mydb");
    if (!usersGiven) o.users["admin"] = "admin";
    if (o.dataFile.empty()) o.dataFile = defaultDataFile();
    return o;
}

} // namespace ostreld
