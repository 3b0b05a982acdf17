#pragma once
#include <chrono>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ostreld {

struct Options {
    int port = 8790;
    std::string bind = "127.0.0.1";
    std::vector<std::string> databases;
    std::string dataFile;
    std::map<std::string, std::string> users; // name -> password
    std::string seedDir;
    size_t maxBody = size_t(64) << 20;
    std::chrono::milliseconds queryLimit{5000};
    std::chrono::milliseconds headerTimeout{10000};
    std::chrono::milliseconds idleTimeout{15000};
    unsigned maxConnections = 256;
    unsigned maxPerAddress = 32;
    // Both given: HTTPS with this certificate (chain) and key, PEM files.
    std::string tlsCert;
    std::string tlsKey;
    bool help = false;
};

// Parses the command line; on a mistake returns nullopt and sets error.
std::optional<Options> parseOptions(const std::vector<std::string> &args, std::string &error);
std::string usage();
std::string defaultDataFile();

} // namespace ostreld
